#include "allow/AllowedSites.h"
#include "allow/SiteMatcher.h"
#include "settings/SettingsStore.h"
#include "support/MemorySettingsBackend.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QRegularExpression>

namespace {
QStringList storedForms(const QList<AllowedSite>& sites) {
    QStringList out;
    for (const AllowedSite& s : sites)
        out << s.stored();
    return out;
}
} // namespace

class TestAllowedSites : public QObject {
    Q_OBJECT

private slots:
    // Which popups a list spares: hosts cover their subdomains at a dot only, opener entries look
    // at the opening page only, and the sign-in marks need an https address.
    void matching_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opener");
        QTest::addColumn<bool>("spared");
        const auto row = [](const char* name, const char* list, const char* address, bool spared,
                            const char* opener = "") {
            QTest::newRow(name) << list << address << opener << spared;
        };
        row("the host", "example.com", "https://example.com/x", true);
        row("a subdomain", "example.com", "http://a.b.example.com/", true);
        row("case, port, dot", "example.com", "HTTPS://Www.Example.COM.:8443/p?q", true);
        row("not at a dot", "example.com", "https://evil-example.com/", false);
        row("another ending", "example.com", "https://example.com.evil.net/", false);
        row("user part", "example.com", "https://example.com@evil.net/", false);
        row("user part is skipped", "example.com", "https://evil.net@example.com/", true);
        row("backslash ends the host", "example.com", "https://evil.net\\@example.com/", false);
        row("parent of an entry", "a.example.com", "https://example.com/", false);
        row("no host", "example.com", "about:blank", false);
        row("international", "xn--bcher-kva.example", "https://www.bücher.example/", true);
        row("opener entry", "opener:shop.example", "https://pay.example/", true,
            "https://www.shop.example/cart");
        row("opener entry, popup there", "opener:shop.example", "https://shop.example/", false);
        row("address entry, opener there", "shop.example", "https://pay.example/", false,
            "https://shop.example/");
        row("sign-in marks", "?oauth", "https://idp.example/a?client_id=1&redirect_uri=x", true);
        row("response_type", "?oauth", "https://idp.example/a?response_type=c&client_id=1#", true);
        row("client_id alone", "?oauth", "https://idp.example/a?client_id=1&state=2", false);
        row("marks over http", "?oauth", "http://idp.example/a?client_id=1&redirect_uri=x", false);
        row("marks in the fragment", "?oauth", "https://a.example/#client_id=1&redirect_uri=x",
            false);
        row("names as values", "?oauth", "https://a.example/?a=client_id&b=redirect_uri", false);
        row("marks, entry removed", "example.com",
            "https://idp.example/a?client_id=1&redirect_uri=x", false);
    }
    void matching() {
        QFETCH(QString, list);
        QFETCH(QString, address);
        QFETCH(QString, opener);
        QFETCH(bool, spared);
        const std::optional<AllowedSite> site = AllowedSite::fromStored(list);
        QVERIFY(site);
        const SiteMatcher matcher({*site});
        QCOMPARE(matcher.sparesAddress(address) ||
                     (!opener.isEmpty() && matcher.sparesOpener(opener)),
                 spared);
    }

    // The stored list: defaults join it until removed, a removal sticks through later loads, and
    // stored text that is no entry is dropped with a word on lcAllow.
    void storedList_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("entries"); // "defaults" stands for the rest of them
        QTest::addColumn<int>("dropped");
        QTest::newRow("never written") << ""
                                       << "" << QStringList{"defaults"} << 0;
        QTest::newRow("removed default, own entry")
            << "<->example.com<->opener:shop.example<->example.com<->"
            << "accounts.google.com<->?oauth"
            << QStringList{"example.com", "opener:shop.example", "defaults"} << 0;
        QTest::newRow("bad text")
            << "a b.example<->Example.com<->opener:<->x.example/p<->com<->*.c.example<->"
               "opener:https://d.example/<->ok.example<->" +
                   QString(300, 'a') + ".example"
            << "" << QStringList{"ok.example", "defaults"} << 8;
    }
    void storedList() {
        QFETCH(QString, stored);
        QFETCH(QString, removed);
        QFETCH(QStringList, entries);
        QFETCH(int, dropped);
        MemorySettingsBackend backend;
        SettingsStore store(backend);
        store.put_option(stored, AllowedSites::storedKey);
        store.put_option(removed, AllowedSites::removedKey);
        for (int i = 0; i < dropped; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("dropped the allowed site"));
        const AllowedSites sites = AllowedSites::load(store);
        QStringList expected = entries;
        expected.removeLast();
        for (const QString& d : storedForms(AllowedSites::defaults())) {
            if (!removed.split("<->").contains(d))
                expected << d;
        }
        QCOMPARE(storedForms(sites.entries()), expected);
    }

    // Removing a default writes it down, so it stays away; adding it again brings it back. The
    // matcher the passes use follows every save.
    void removeAndAddDefault() {
        MemorySettingsBackend backend;
        SettingsStore store(backend);
        const QString google = "https://accounts.google.com/signin";
        QVERIFY(SiteMatcher::of(store)->sparesAddress(google));
        AllowedSites sites = AllowedSites::load(store);
        const AllowedSite entry{AllowedSite::Match::Address, "accounts.google.com"};
        QVERIFY(sites.remove(entry));
        QVERIFY(sites.save(store));
        QCOMPARE(store.get_option(AllowedSites::removedKey), entry.stored());
        QVERIFY(!AllowedSites::load(store).contains(entry));
        QVERIFY(!SiteMatcher::of(store)->sparesAddress(google));
        sites = AllowedSites::load(store);
        QVERIFY(sites.add(entry));
        QVERIFY(!sites.add(entry));
        QVERIFY(sites.save(store));
        QCOMPARE(store.get_option(AllowedSites::removedKey), QString());
        QVERIFY(SiteMatcher::of(store)->sparesAddress(google));
    }
};

PAGEWARDEN_TEST_MAIN(TestAllowedSites, QApplication)
#include "test_allowed_sites.moc"
