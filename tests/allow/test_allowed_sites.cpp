#include "allow/AllowedSites.h"
#include "allow/SiteMatcher.h"
#include "allow/ui/AllowedSitesWindow.h"
#include "app/AllowedSitesCommands.h"
#include "app/FeatureWiring.h"
#include "app/PanelControls.h"
#include "settings/SettingsStore.h"
#include "support/LogViewerRig.h"
#include "support/MemorySettingsBackend.h"
#include "support/TestMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>

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
        QStringList expected = entries.mid(0, entries.size() - 1), loaded;
        for (const AllowedSite& d : AllowedSites::defaults())
            if (!removed.split("<->").contains(d.stored()))
                expected << d.stored();
        const AllowedSites sites = AllowedSites::load(store);
        for (const AllowedSite& s : sites.entries())
            loaded << s.stored();
        QCOMPARE(loaded, expected);
    }

    // The window, opened from the tray menu and the panel: a typed site is added with its choice,
    // a bad one is refused with a word, a removed default stays removed until added again. The
    // log viewer's "Always allow this site" adds the selected record's site and says so.
    void window() {
        using M = AllowedSite::Match;
        LogViewerRig v;
        WindowFixture& f = v.f;
        auto* commands = new AllowedSitesCommands(*f.window, *v.viewer);
        f.window->controls().trayMenu->findChild<QAction*>("allow1")->trigger();
        AllowedSitesWindow* w = commands->window();
        QVERIFY(w && w->isVisible());
        w->hostBox->setText(" https://Call.Example/room ");
        w->matchBox->setCurrentIndex(1);
        w->addButton->click();
        QCOMPARE(w->word->text(), "Added call.example (popups this site opens).");
        w->hostBox->setText("call example");
        w->addButton->click();
        QCOMPARE(w->word->text(), "\"call example\" was not added: it is not a host name.");
        w->list->setCurrentRow(1);
        QCOMPARE(w->list->currentItem()->text(), "accounts.google.com (popups to this site)");
        w->removeButton->click();
        const AllowedSites stored = AllowedSites::load(*f.store);
        QVERIFY(stored.contains({M::Opener, "call.example"}));
        QVERIFY(!stored.contains({M::Address, "accounts.google.com"}));
        QCOMPARE(w->list->count(), stored.entries().size());
        // The passes' matcher follows every save; a default added again is no longer removed.
        const QString google = "https://accounts.google.com/signin";
        QVERIFY(!SiteMatcher::of(*f.store)->sparesAddress(google));
        w->hostBox->setText("accounts.google.com");
        w->matchBox->setCurrentIndex(0);
        w->addButton->click();
        QVERIFY(SiteMatcher::of(*f.store)->sparesAddress(google));
        QCOMPARE(f.store->get_option(AllowedSites::removedKey), QString());
        w->close();
        QTRY_VERIFY(!commands->window());
        f.window->controls().picture("Image15")->click();
        QVERIFY(commands->window() && commands->window()->isVisible());

        v.writeLog("http://ads.example/p<===>Ad\r\n");
        v.open("msg1", [](LogViewerForm& form) {
            form.List1->setCurrentRow(0);
            form.Command4->click();
        });
        QCOMPARE(f.tp.messages.texts.last(), "Popups to ads.example will always be allowed.");
        QVERIFY(AllowedSites::load(*f.store).contains({M::Address, "ads.example"}));
        QCOMPARE(commands->window()->list->count(), stored.entries().size() + 2);
    }
};

PAGEWARDEN_TEST_MAIN(TestAllowedSites, QApplication)
#include "test_allowed_sites.moc"
