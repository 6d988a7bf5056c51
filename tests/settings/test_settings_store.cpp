#include "platform/SettingsBackend.h"
#include "settings/ProductInfo.h"
#include "settings/SettingsStore.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// A store that fails on chosen keys, to check what a failing read or write leaves behind.
class FailingBackend : public SettingsBackend {
public:
    std::optional<QString> read(const QString&, const QString& key, const QString& def) override {
        if (failReads.contains(key))
            return std::nullopt;
        return values.value(key, def);
    }
    bool save(const QString&, const QString& key, const QString& value) override {
        if (failWrites.contains(key))
            return false;
        values[key] = value;
        writes.append(key);
        return true;
    }
    QMap<QString, QString> values;
    QStringList failReads, failWrites, writes;
};

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void applicationTitle_isFormedFromTheIdentifier_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("title");
        QTest::newRow("product") << "pagewarden_8.0"
                                 << "Pagewarden 8.0";
        QTest::newRow("several words") << "page_warden_pro_2.1"
                                       << "Page Warden Pro 2.1";
        QTest::newRow("already capital") << "Pagewarden_8.0"
                                         << "Pagewarden 8.0";
    }
    void applicationTitle_isFormedFromTheIdentifier() {
        QFETCH(QString, identifier);
        QFETCH(QString, title);
        QCOMPARE(ProductInfo::applicationTitleFrom(identifier), title);
    }

    void theProductsTitleAndVersion() {
        QCOMPARE(ProductInfo::applicationTitle(), QStringLiteral("Pagewarden 8.0"));
        QVERIFY(ProductInfo::programVersion().startsWith(QStringLiteral("8.0.")));
    }

    void valuesRoundTripThroughTheFile_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces at both ends") << "  padded  ";
        QTest::newRow("commas") << "a,b, c";
        QTest::newRow("quotes") << "say \"hi\" and 'bye'";
        QTest::newRow("equals semicolon hash") << "k=v; #not a comment";
        QTest::newRow("backslashes") << "C:\\Users\\me\\";
        QTest::newRow("separator") << "a<->b<-><->c<->";
        QTest::newRow("non-ascii") << "Grüße – 日本語 ✓";
        QTest::newRow("url") << "https://example.com/a?b=1&c=%20d#frag";
        QTest::newRow("leading bracket") << "[Options]";
        QTest::newRow("newline") << "line1\nline2";
        QTest::newRow("only spaces") << "   ";
    }
    void valuesRoundTripThroughTheFile() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Pagewarden 8.0.conf"));
        {
            IniSettingsBackend backend(file);
            SettingsStore store(backend);
            QVERIFY(store.put_option(value, QStringLiteral("desired_home_url")));
        }
        IniSettingsBackend backend(file);
        SettingsStore store(backend);
        QCOMPARE(store.get_option(QStringLiteral("desired_home_url")), value);
        store.load_saved_state();
        QCOMPARE(store.desiredHomeUrl, value);
    }

    void readsGiveTheirDefaultOnlyForMissingKeys() {
        QTemporaryDir dir;
        IniSettingsBackend backend(dir.filePath(QStringLiteral("s.conf")));
        SettingsStore store(backend);
        QCOMPARE(store.getOption(QStringLiteral("Beep"), QStringLiteral("0")), QStringLiteral("0"));
        QCOMPARE(store.get_option(QStringLiteral("Beep")), QString());
        store.put_option(QString(), QStringLiteral("Beep"));
        QCOMPARE(store.getOption(QStringLiteral("Beep"), QStringLiteral("0")), QString());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("s.conf"))));
    }

    void theFileHasOneSectionNamedOptions() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.conf"));
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        store.put_option(QStringLiteral("1"), QStringLiteral("Killpopups"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.startsWith("[Options]"), text.constData());
        QVERIFY(text.contains("Killpopups=1"));
    }

    void aValueTypedWithAnUnquotedComma_readsBackJoined() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.conf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Options]\ndesired_home_url=http://a.example/,http://b.example/\n");
        f.close();
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        QCOMPARE(store.get_option(QStringLiteral("desired_home_url")),
                 QStringLiteral("http://a.example/,http://b.example/"));
    }

    void aDamagedFileGivesDefaultsAndIsKeptAside_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[Opt\x01ions\n=\x00\x00", 16);
        QTest::newRow("unterminated section") << QByteArray("[Options\nBeep=1\n");
        QTest::newRow("bad escapes") << QByteArray("[Options]\nBeep=\"1\\x\n\"\"\"\n");
        QTest::newRow("not ini at all") << QByteArray("<?xml version=\"1.0\"?><a/>");
        QTest::newRow("empty file") << QByteArray();
    }
    void aDamagedFileGivesDefaultsAndIsKeptAside() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.conf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        store.load_saved_state(); // must not crash
        QVERIFY(store.put_option(QStringLiteral("done"), QStringLiteral("firsttime")));
        QCOMPARE(store.get_option(QStringLiteral("firsttime")), QStringLiteral("done"));
    }

    void anUnreadableFileGivesDefaults() {
        if (geteuid() == 0)
            QSKIP("root reads every file");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.conf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Options]\nBeep=1\n");
        f.close();
        f.setPermissions(QFileDevice::WriteOwner);
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        QCOMPARE(store.getOption(QStringLiteral("Beep"), QStringLiteral("0")), QStringLiteral("0"));
    }

    void patternListDecoding_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("two") << "a<->b" << QStringList{"a", "b"};
        QTest::newRow("one") << "only" << QStringList{"only"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("spaces around the list") << "  a<->b  " << QStringList{"a", "b"};
        QTest::newRow("empty pieces") << "<->a<-><->b<->" << QStringList{"a", "b"};
        QTest::newRow("spaces beside the separator") << "a <-> b" << QStringList{"a ", " b"};
        QTest::newRow("duplicates stay") << "a<->a" << QStringList{"a", "a"};
        QTest::newRow("only spaces") << "    " << QStringList{};
        QTest::newRow("partial separators") << "a<-b<->c->d" << QStringList{"a<-b", "c->d"};
        QTest::newRow("case sensitive separator") << "x<->Y" << QStringList{"x", "Y"};
        QTest::newRow("tabs are not trimmed") << "\ta<->b\t" << QStringList{"\ta", "b\t"};
        QTest::newRow("overlapping") << "a<-<->>b" << QStringList{"a<-", ">b"};
    }
    void patternListDecoding() {
        QFETCH(QString, stored);
        QFETCH(QStringList, patterns);
        FailingBackend backend;
        backend.values[QStringLiteral("spyware_urls")] = stored;
        SettingsStore store(backend);
        store.load_saved_state();
        QCOMPARE(store.hijackPatterns, patterns);
    }

    void anEmptyStoredListKeepsThePatternsHeld() {
        FailingBackend backend;
        SettingsStore store(backend);
        store.hijackPatterns = {QStringLiteral("kept")};
        store.load_saved_state();
        QCOMPARE(store.hijackPatterns, QStringList{QStringLiteral("kept")});
        backend.values[QStringLiteral("spyware_urls")] = QStringLiteral("new");
        store.load_saved_state();
        QCOMPARE(store.hijackPatterns, QStringList{QStringLiteral("new")});
    }

    void encodingJoinsWithoutATrailingSeparator() {
        QCOMPARE(SettingsStore::encodePatternList({}), QString());
        QCOMPARE(SettingsStore::encodePatternList({QStringLiteral("a")}), QStringLiteral("a"));
        QCOMPARE(SettingsStore::encodePatternList({QStringLiteral("a"), QStringLiteral(" b ")}),
                 QStringLiteral("a<-> b "));
    }

    void loadReadsTheStateKeys() {
        FailingBackend backend;
        backend.values = {{"wasfirsttime", "false"},
                          {"saved_the_product_version", "8.0.3"},
                          {"desired_home_url", "http://home.example/"},
                          {"spyware_urls", "bad<->worse"}};
        SettingsStore store(backend);
        store.load_saved_state();
        QCOMPARE(store.wasFirstTime, QStringLiteral("false"));
        QCOMPARE(store.savedProductVersion, QStringLiteral("8.0.3"));
        QCOMPARE(store.desiredHomeUrl, QStringLiteral("http://home.example/"));
        QCOMPARE(store.hijackPatternText, QStringLiteral("bad<->worse"));
    }

    void aKeyThatCannotBeRead_keepsItsValueAndTheLoadGoesOn() {
        FailingBackend backend;
        backend.values = {{"saved_the_product_version", "8.0.3"},
                          {"desired_home_url", "http://home.example/"}};
        backend.failReads = {QStringLiteral("saved_the_product_version")};
        SettingsStore store(backend);
        store.savedProductVersion = QStringLiteral("held");
        store.load_saved_state();
        QCOMPARE(store.savedProductVersion, QStringLiteral("held"));
        QCOMPARE(store.desiredHomeUrl, QStringLiteral("http://home.example/"));
    }

    void saveWritesInItsOrder_andStopsAtAFailure() {
        FailingBackend backend;
        SettingsStore store(backend);
        store.savedProductVersion = QStringLiteral("8.0.0");
        store.wasFirstTime = QStringLiteral("false");
        store.hijackPatternText = QStringLiteral("x");
        store.desiredHomeUrl = QStringLiteral("h");
        QVERIFY(store.save_state());
        QCOMPARE(backend.writes, (QStringList{"saved_the_product_version", "wasfirsttime",
                                              "spyware_urls", "desired_home_url"}));
        backend.writes.clear();
        backend.failWrites = {QStringLiteral("spyware_urls")};
        store.desiredHomeUrl = QStringLiteral("changed");
        QVERIFY(!store.save_state());
        QCOMPARE(backend.values.value(QStringLiteral("desired_home_url")), QStringLiteral("h"));
    }
};

PAGEWARDEN_TEST_MAIN(TestSettingsStore, QCoreApplication)
#include "test_settings_store.moc"
