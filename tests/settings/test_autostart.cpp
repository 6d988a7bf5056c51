#include "platform/StartWithLogin.h"
#include "support/TestMain.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestAutostart : public QObject {
    Q_OBJECT

    static QString read(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll());
    }

private slots:
    void defaultFolderIsTheUsersAutostartFolder() {
        const QString expected = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart";
        QCOMPARE(XdgAutostart::defaultFolder(), expected);
        QCOMPARE(XdgAutostart().entryPath(), expected + "/pagewarden.desktop");
    }

    void entryNamesTheExecutable_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/pagewarden"
                               << "Exec=/usr/bin/pagewarden\n";
        QTest::newRow("space") << "/opt/My Apps/pagewarden"
                               << "Exec=\"/opt/My Apps/pagewarden\"\n";
        QTest::newRow("dollar and quote") << "/opt/a$b\"c/pagewarden"
                                          << "Exec=\"/opt/a\\\\$b\\\\\"c/pagewarden\"\n";
    }
    void entryNamesTheExecutable() {
        QFETCH(QString, command);
        QFETCH(QString, exec);
        QTemporaryDir dir;
        XdgAutostart autostart(dir.filePath("autostart"));
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
        QVERIFY(autostart.setEntry("Pagewarden 8.0", command));
        const QString text = read(autostart.entryPath());
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("Type=Application\n"));
        QVERIFY(text.contains("Name=Pagewarden 8.0\n"));
        QVERIFY2(text.contains(exec), qPrintable(text));
        QVERIFY(autostart.hasEntry("Pagewarden 8.0"));
    }

    void rewriteReplaces_removeDeletes_missingIsFine() {
        QTemporaryDir dir;
        XdgAutostart autostart(dir.filePath("autostart"));
        QVERIFY(autostart.setEntry("Pagewarden 8.0", "/a/pagewarden"));
        QVERIFY(autostart.setEntry("Pagewarden 8.0", "/b/pagewarden"));
        QVERIFY(read(autostart.entryPath()).contains("Exec=/b/pagewarden\n"));
        QVERIFY(!read(autostart.entryPath()).contains("/a/pagewarden"));
        autostart.removeEntry("Pagewarden 8.0");
        QVERIFY(!QFile::exists(autostart.entryPath()));
        autostart.removeEntry("Pagewarden 8.0");
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
    }

    void hiddenEntryCountsAsOff() {
        QTemporaryDir dir;
        XdgAutostart autostart(dir.filePath("autostart"));
        QVERIFY(autostart.setEntry("Pagewarden 8.0", "/a/pagewarden"));
        QFile f(autostart.entryPath());
        QVERIFY(f.open(QIODevice::Append));
        f.write("Hidden=true\n");
        f.close();
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
    }

    void unwritableFolderFailsQuietly() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        XdgAutostart autostart(dir.filePath("autostart"));
        QVERIFY(!autostart.setEntry("Pagewarden 8.0", "/a/pagewarden"));
        QVERIFY(!autostart.hasEntry("Pagewarden 8.0"));
    }
};

PAGEWARDEN_TEST_MAIN(TestAutostart, QCoreApplication)
#include "test_autostart.moc"
