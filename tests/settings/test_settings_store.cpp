#include "platform/SettingsBackend.h"
#include "platform/StartWithLogin.h"
#include "settings/SettingsStore.h"
#include "support/MemorySettingsBackend.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class TestSettingsStore : public QObject {
    Q_OBJECT
    static void write(const QString& path, const QByteArray& content, bool append = false) {
        QFile f(path);
        QVERIFY(f.open(append ? QIODevice::Append : QIODevice::WriteOnly));
        f.write(content);
    }
    static QString read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void theFile_oneSectionDefaultsOnlyForMissingKeys_unquotedCommasJoined() {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.conf");
        write(path, "[Options]\ndesired_home_url=http://a.example/,http://b.example/\n");
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        QCOMPARE(store.get_option("desired_home_url"),
                 QString("http://a.example/,http://b.example/"));
        QCOMPARE(store.getOption(QStringLiteral("Beep"), QStringLiteral("0")), QStringLiteral("0"));
        store.put_option(QString(), QStringLiteral("Beep"));
        QCOMPARE(store.getOption(QStringLiteral("Beep"), QStringLiteral("0")), QString());
        const QString value = QStringLiteral("  a,b; #c \"d\" [Options] Grüße\nline2 ");
        QVERIFY(store.put_option(value, QStringLiteral("desired_home_url")));
        const QString text = read(path);
        QVERIFY2(text.startsWith("[Options]") && !text.contains("\n["), qPrintable(text));
        IniSettingsBackend again(path);
        QCOMPARE(SettingsStore(again).get_option("desired_home_url"), value);
        // The home page and the options are the user's alone, whatever the umask.
        QCOMPARE(int(QFile::permissions(path) & 0x0077), 0); // no group or other bits
    }

    // A file that is damaged, binary, huge or cannot be read is moved aside whole and the user is
    // told; the program then keeps its options in a fresh file.
    void aBadFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("content"); // "dir": a folder in the file's place
        QTest::addColumn<QString>("problem");
        QTest::newRow("good") << QByteArray("[Options]\nBeep=1\n") << "";
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[Opt\x01ions\n=\x00\x00", 16)
                                << "is damaged";
        QTest::newRow("unterminated section") << QByteArray("[Options\nBeep=1\n") << "is damaged";
        QTest::newRow("20 MB") << "[Options]\nBeep=" + QByteArray(20 << 20, 'x')
                               << "is too large (20 MB)";
        QTest::newRow("a folder in its place") << QByteArray("dir") << "could not be read";
    }
    void aBadFileIsSetAside() {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath("s.conf");
        if (content == "dir")
            QVERIFY(QDir().mkpath(path));
        else
            write(path, content);
        const QString notice = SettingsStore::setAsideUnreadableFile(path);
        QVERIFY2(problem.isEmpty() ? notice.isEmpty() : notice.contains(problem),
                 qPrintable(notice));
        if (!problem.isEmpty()) {
            QVERIFY(notice.contains(path + ".damaged") && !QFileInfo::exists(path));
            QFile aside(path + ".damaged");
            QVERIFY(content == "dir" ||
                    (aside.open(QIODevice::ReadOnly) && aside.readAll() == content));
        }
        if (problem == "is damaged") {      // damaged again later: the backend keeps both copies
            write(path, content + content); // another size: QSettings reads it afresh
            IniSettingsBackend again(path);
            QVERIFY(QFileInfo::exists(path + ".damaged") && QFileInfo::exists(path + ".damaged.1"));
        }
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        QVERIFY(store.put_option(QStringLiteral("done"), QStringLiteral("firsttime")));
        QCOMPARE(store.get_option(QStringLiteral("firsttime")), QStringLiteral("done"));
        QCOMPARE(store.get_option(QStringLiteral("Beep")), problem.isEmpty() ? "1" : "");
    }

    void patternListDecoding_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("spaces around the list") << "  a<->b  " << QStringList{"a", "b"};
        QTest::newRow("empty pieces") << "<->a<-><->b<->" << QStringList{"a", "b"};
        QTest::newRow("spaces beside the separator") << "a <-> b" << QStringList{"a ", " b"};
        QTest::newRow("partial separators") << "a<-b<->c->d" << QStringList{"a<-b", "c->d"};
        QTest::newRow("tabs are not trimmed") << "\ta<->b\t" << QStringList{"\ta", "b\t"};
        QTest::newRow("overlapping") << "a<-<->>b" << QStringList{"a<-", ">b"};
    }
    void patternListDecoding() {
        QFETCH(QString, stored);
        QFETCH(QStringList, patterns);
        MemorySettingsBackend backend;
        backend.values["spyware_urls"] = stored;
        SettingsStore store(backend);
        store.hijackPatterns = {"held"};
        store.load_saved_state();
        // An empty stored list keeps the patterns held.
        QCOMPARE(store.hijackPatterns, patterns.isEmpty() ? QStringList{"held"} : patterns);
        if (!patterns.isEmpty())
            QCOMPARE(SettingsStore::encodePatternList(patterns), patterns.join("<->"));
    }

    void aFailingReadKeepsItsValue_aFailingSaveStops() {
        MemorySettingsBackend backend;
        backend.values = {{"wasfirsttime", "false"},
                          {"saved_the_product_version", "8.0.3"},
                          {"desired_home_url", "http://home.example/"},
                          {"spyware_urls", "bad<->worse"}};
        backend.failReads = {"saved_the_product_version"};
        SettingsStore store(backend);
        store.savedProductVersion = "held";
        store.load_saved_state();
        QCOMPARE(store.savedProductVersion, QStringLiteral("held"));
        QCOMPARE(store.wasFirstTime, QStringLiteral("false"));
        QCOMPARE(store.desiredHomeUrl, QStringLiteral("http://home.example/"));
        QCOMPARE(store.hijackPatternText, QStringLiteral("bad<->worse"));
        QVERIFY(store.save_state());
        QCOMPARE(backend.writes, (QStringList{"saved_the_product_version", "wasfirsttime",
                                              "spyware_urls", "desired_home_url"}));
        backend.failWrites = {"spyware_urls"};
        store.desiredHomeUrl = "changed";
        QVERIFY(!store.save_state());
        QCOMPARE(backend.values.value("desired_home_url"), QStringLiteral("http://home.example/"));
    }

    // The entry names the executable, quoted where the desktop needs it; a hidden entry is off.
    void autostartEntry() {
        QTemporaryDir tmp;
        XdgAutostart autostart(tmp.filePath("autostart"));
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
        for (const auto& [command, exec] :
             {std::pair{"/usr/bin/pagewarden", "Exec=/usr/bin/pagewarden\n"},
              {"/opt/My Apps/pagewarden", "Exec=\"/opt/My Apps/pagewarden\"\n"},
              {"/opt/a$b\"c/pagewarden", "Exec=\"/opt/a\\\\$b\\\\\"c/pagewarden\"\n"}}) {
            QVERIFY(autostart.setEntry("Pagewarden 8.0", command)); // replaces the one before
            const QString text = read(autostart.entryPath());
            QVERIFY(text.startsWith("[Desktop Entry]\n") && text.contains("Type=Application\n") &&
                    text.contains("Name=Pagewarden 8.0\n"));
            QVERIFY2(text.contains(exec) && text.count("Exec=") == 1, qPrintable(text));
        }
        QVERIFY(autostart.hasEntry("Pagewarden 8.0"));
        write(autostart.entryPath(), "Hidden=true\n", true); // hidden by the desktop: off
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
        autostart.removeEntry("Pagewarden 8.0");
        QVERIFY(!QFile::exists(autostart.entryPath()));
        autostart.removeEntry("Pagewarden 8.0"); // nothing left to remove
        // A file where the folder should be: the entry fails quietly.
        QVERIFY(QDir(tmp.filePath("autostart")).removeRecursively());
        write(tmp.filePath("autostart"), "not a folder");
        QVERIFY(!autostart.setEntry("Pagewarden 8.0", "/usr/bin/pagewarden"));
    }
};

PAGEWARDEN_TEST_MAIN(TestSettingsStore, QCoreApplication)
#include "test_settings_store.moc"
