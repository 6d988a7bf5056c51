#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>

// Runs the real program as a user would, each start in a fresh home of its own.
class TestProgram : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString root = home.path();
        env.insert("HOME", root);
        env.insert("XDG_CONFIG_HOME", root + "/.config");
        env.insert("XDG_DATA_HOME", root + "/.local/share");
        env.insert("XDG_CACHE_HOME", root + "/.cache");
        env.insert("XDG_RUNTIME_DIR", root + "/runtime");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PAGEWARDEN_CLOCK_SCALE", "0.02");
        // As when installed: the program is found on PATH by its name.
        env.insert("PATH", programFolder() + ":" + env.value("PATH"));
        return env;
    }
    static QString programFolder() { return QFileInfo(PAGEWARDEN_EXECUTABLE).path(); }
    static QString desktopEntryLine(const QString& text, const QString& key) {
        for (const QString& line : text.split('\n'))
            if (line.startsWith(key + '='))
                return line;
        return QString();
    }
    void start(QProcess& p, const QStringList& args = {},
               const QProcessEnvironment& env = QProcessEnvironment()) {
        p.setProcessEnvironment(env.isEmpty() ? environment() : env);
        p.start(QStringLiteral(PAGEWARDEN_EXECUTABLE), args);
        QVERIFY(p.waitForStarted(5000));
    }
    QString settingsFile() const { return home.path() + "/.config/pagewarden/Pagewarden 8.0.conf"; }
    QString stored(const QString& key) const {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value("Options/" + key, "<missing>").toString();
    }

    // Browser processes started with a profile inside this test's home.
    int browsersOfThisHome() const {
        QProcess ps;
        ps.start("ps", {"-eo", "args"});
        ps.waitForFinished(5000);
        int count = 0;
        for (const QByteArray& line : ps.readAllStandardOutput().split('\n'))
            if (line.contains("--user-data-dir=" + home.path().toLocal8Bit()))
                ++count;
        return count;
    }

private slots:
    void initTestCase() {
        QDir().mkpath(home.path() + "/runtime");
        QFile::setPermissions(home.path() + "/runtime", QFileDevice::ReadOwner |
                                                            QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner);
    }

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
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << ""
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
        QVERIFY(p.waitForFinished(10000));
        const QString stdOut = p.readAllStandardOutput(), stdErr = p.readAllStandardError();
        QCOMPARE(p.exitCode(), status);
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
        if (status != 0)
            QVERIFY(stdErr.contains("Try 'pagewarden --help'"));
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void firstStart_secondInstance_andExitOnSigterm() {
        QProcess first;
        start(first);
        // The very first start stores the first-run values and the start-with-login entry.
        QTRY_VERIFY_WITH_TIMEOUT(stored("firsttime") == "done", 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(home.path() + "/.config/autostart/pagewarden.desktop"), 10000);
        // It starts the same program with the same icon as the installed desktop entry.
        QFile entry(home.path() + "/.config/autostart/pagewarden.desktop");
        QFile installed(PAGEWARDEN_DESKTOP_ENTRY);
        QVERIFY(entry.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly));
        const QString entryText = entry.readAll(), installedText = installed.readAll();
        for (const char* key : {"Exec", "Icon"})
            QCOMPARE(desktopEntryLine(entryText, key), desktopEntryLine(installedText, key));

        // A second start ends at once and quietly, leaving the first running.
        QProcess second;
        QElapsedTimer clock;
        clock.start();
        start(second);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(second.readAllStandardError().isEmpty());
        QCOMPARE(first.state(), QProcess::Running);

        // Someone changes a value behind the program's back; the exit command writes the
        // panel's eight keys again.
        {
            QSettings s(settingsFile(), QSettings::IniFormat);
            s.setValue("Options/Killpopups", "0");
            s.setValue("Options/secondsbeforeminimize", "junk");
        }
        // The program guards a browser of its own (headless here, without a display).
        QTRY_VERIFY_WITH_TIMEOUT(browsersOfThisHome() > 0, 20000);

        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        // The browser it launched ends with it.
        QTRY_COMPARE_WITH_TIMEOUT(browsersOfThisHome(), 0, 15000);
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stored("Killpopups"), QStringLiteral("1"));
        QCOMPARE(stored("secondsbeforeminimize"), QStringLiteral("7"));
        for (const char* key : {"Killbrowsers", "Beep", "StartUp", "HideOnStart", "killallbrowsers",
                                "popupkillspeed"})
            QVERIFY2(stored(QLatin1String(key)) != "<missing>", key);

        // The lock went with the process: the next start is a first instance again.
        QProcess third;
        start(third);
        QTest::qWait(1500);
        QCOMPARE(third.state(), QProcess::Running);
        ::kill(third.processId(), SIGINT);
        QVERIFY(third.waitForFinished(10000));
    }

    // A settings file that cannot be read (here a folder in its place, which stops root too) is
    // set aside like a damaged one: the defaults are stored afresh, popups are closed again, and
    // the user is told.
    void unreadableSettings_areSetAside() {
        QFile::remove(settingsFile());
        QVERIFY(QDir().mkpath(settingsFile()));
        QProcessEnvironment env = environment();
        env.insert("PATH", programFolder()); // no browser to launch: not needed here
        QProcess p;
        start(p, {}, env);
        QTRY_VERIFY_WITH_TIMEOUT(stored("Killpopups") == "1", 20000);
        QVERIFY(QFileInfo(settingsFile() + ".damaged").isDir());
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("moved to"), 20000);
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
    }
};

PAGEWARDEN_TEST_MAIN(TestProgram, QCoreApplication)
#include "test_program.moc"
