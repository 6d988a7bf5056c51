#include "support/TestMain.h"

#include <QDir>
#include <QFile>
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
        return env;
    }
    void start(QProcess& p, const QStringList& args = {}) {
        p.setProcessEnvironment(environment());
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

    void versionAndHelp() {
        QProcess p;
        start(p, {"--version"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("8.0."));
        QProcess h;
        start(h, {"--help"});
        QVERIFY(h.waitForFinished(10000));
        QCOMPARE(h.exitCode(), 0);
        QVERIFY(h.readAllStandardOutput().contains("takes no arguments"));
    }

    void strangeArguments_getAClearMessage() {
        QProcess p;
        start(p, {"--frobnicate"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("--help"));
        QProcess q;
        start(q, {"some-file.txt"});
        QVERIFY(q.waitForFinished(10000));
        QCOMPARE(q.exitCode(), 2);
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void firstStart_secondInstance_andExitOnSigterm() {
        QProcess first;
        start(first);
        // The very first start stores the first-run values and the start-with-login entry.
        QTRY_VERIFY_WITH_TIMEOUT(stored("firsttime") == "done", 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(home.path() + "/.config/autostart/pagewarden.desktop"), 10000);
        QFile entry(home.path() + "/.config/autostart/pagewarden.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("Exec=" PAGEWARDEN_EXECUTABLE "\n"));

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
};

PAGEWARDEN_TEST_MAIN(TestProgram, QCoreApplication)
#include "test_program.moc"
