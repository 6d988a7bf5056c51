#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <csignal>

// Runs the real program as a user would, in the test's own home (HOME and XDG folders).
class TestProgram : public QObject {
    Q_OBJECT

    const QString home = TestEnvironment::home();

    static QProcessEnvironment environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PAGEWARDEN_CLOCK_SCALE", "0.02");
        // As when installed: the program is found on PATH by its name.
        env.insert("PATH", QFileInfo(PAGEWARDEN_EXECUTABLE).path() + ":" + env.value("PATH"));
        return env;
    }
    void start(QProcess& p, const QStringList& args = {}, QProcessEnvironment env = {}) {
        p.setProcessEnvironment(env.isEmpty() ? environment() : env);
        p.start(QStringLiteral(PAGEWARDEN_EXECUTABLE), args);
        QVERIFY(p.waitForStarted(5000));
    }
    QString settingsFile() const { return home + "/.config/pagewarden/Pagewarden 8.0.conf"; }
    QString stored(const QString& key) const {
        return QSettings(settingsFile(), QSettings::IniFormat)
            .value("Options/" + key, "<missing>")
            .toString();
    }
    static QString desktopEntry(const QString& path, const char* key) {
        return QSettings(path, QSettings::IniFormat)
            .value("Desktop Entry/" + QString(key))
            .toString();
    }
    // Browser processes started with a profile inside this test's home.
    int browsersOfThisHome() const {
        QProcess ps;
        ps.start("ps", {"-eo", "args"});
        ps.waitForFinished(5000);
        return int(ps.readAllStandardOutput().count("--user-data-dir=" + home.toLocal8Bit()));
    }

private slots:
    // Answered without a display, before the windowing system is touched.
    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "pagewarden 8.0."
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: pagewarden"
                              << "";
        QTest::newRow("unknown") << QStringList{"--frobnicate"} << 2 << ""
                                 << "unrecognized option '--frobnicate'";
        QTest::newRow("a file") << QStringList{"some-file.txt"} << 2 << ""
                                << "'some-file.txt'";
        QTest::newRow("both") << QStringList{"--help", "--version"} << 2 << ""
                              << "alone";
    }
    void arguments() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment env = environment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        QProcess p;
        start(p, args, env);
        QVERIFY(p.waitForFinished(30000));
        const QString stdOut = p.readAllStandardOutput(), stdErr = p.readAllStandardError();
        QCOMPARE(p.exitCode(), status);
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
        QCOMPARE(stdErr.contains("Try 'pagewarden --help'"), status != 0);
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void firstStart_secondInstance_andExitOnSigterm() {
        QProcess first;
        start(first);
        // The very first start stores the first-run values and the start-with-login entry, which
        // starts the same program with the same icon as the installed desktop entry.
        const QString entry = home + "/.config/autostart/pagewarden.desktop";
        QTRY_VERIFY_WITH_TIMEOUT(stored("firsttime") == "done", 60000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 60000);
        for (const char* key : {"Exec", "Icon"}) {
            QVERIFY(!desktopEntry(entry, key).isEmpty());
            QCOMPARE(desktopEntry(entry, key), desktopEntry(PAGEWARDEN_DESKTOP_ENTRY, key));
        }

        // A second start ends by itself and quietly, leaving the first running.
        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardError().isEmpty());
        QCOMPARE(first.state(), QProcess::Running);
        QTRY_VERIFY_WITH_TIMEOUT(browsersOfThisHome() > 0, 60000); // the first's own browser

        // A value changed behind the program's back: the exit writes the panel's keys again.
        {
            QSettings s(settingsFile(), QSettings::IniFormat);
            s.setValue("Options/Killpopups", "0");
            s.setValue("Options/secondsbeforeminimize", "junk");
        }
        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        // The browser it launched ends with it.
        QTRY_COMPARE_WITH_TIMEOUT(browsersOfThisHome(), 0, 60000);
        QCOMPARE(stored("Killpopups"), QStringLiteral("1"));
        QCOMPARE(stored("secondsbeforeminimize"), QStringLiteral("7"));
        for (const char* key : {"Killbrowsers", "Beep", "StartUp", "HideOnStart", "killallbrowsers",
                                "popupkillspeed"})
            QVERIFY2(stored(QLatin1String(key)) != "<missing>", key);

        // The lock went with the process: the next start is a first instance again and launches
        // its browser.
        QProcess third;
        start(third);
        QTRY_VERIFY_WITH_TIMEOUT(browsersOfThisHome() > 0, 60000);
        QCOMPARE(third.state(), QProcess::Running);
        ::kill(third.processId(), SIGINT);
        QVERIFY(third.waitForFinished(60000));
        QTRY_COMPARE_WITH_TIMEOUT(browsersOfThisHome(), 0, 60000);
    }

    // A settings file that cannot be read (a folder in its place, which stops root too) is set
    // aside like a damaged one: the defaults are stored afresh and the user is told.
    void unreadableSettings_areSetAside() {
        QFile::remove(settingsFile());
        QVERIFY(QDir().mkpath(settingsFile()));
        QProcessEnvironment env = environment();
        env.insert("PATH", QFileInfo(PAGEWARDEN_EXECUTABLE).path()); // no browser needed here
        QProcess p;
        start(p, {}, env);
        QTRY_VERIFY_WITH_TIMEOUT(stored("Killpopups") == "1", 60000);
        QVERIFY(QFileInfo(settingsFile() + ".damaged").isDir());
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("moved to"), 60000);
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
    }
};

PAGEWARDEN_TEST_MAIN(TestProgram, QCoreApplication)
#include "test_program.moc"
