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
    const QString conf = home + "/.config/pagewarden/Pagewarden 8.0.conf";

    void start(QProcess& p, const QStringList& args = {}, bool display = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PAGEWARDEN_CLOCK_SCALE", "0.02");
        // As when installed: the program is found on PATH by its name.
        env.insert("PATH", QFileInfo(PAGEWARDEN_EXECUTABLE).path() + ":" + env.value("PATH"));
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            if (!display)
                env.remove(name);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PAGEWARDEN_EXECUTABLE), args);
        QVERIFY(p.waitForStarted(5000));
    }
    static QString value(const QString& file, const QString& key) {
        return QSettings(file, QSettings::IniFormat).value(key, "<missing>").toString();
    }
    QString stored(const QString& key) const { return value(conf, "Options/" + key); }
    // Browser processes started with a profile inside this test's home.
    int browsersOfThisHome() const {
        QProcess ps;
        ps.start("ps", {"-eo", "args"});
        ps.waitForFinished(5000);
        return int(ps.readAllStandardOutput().count("--user-data-dir=" + home.toLocal8Bit()));
    }

private slots:
    // Answered without a display, before the windowing system is touched. A row: the arguments,
    // the exit status, how standard output begins, what standard error says.
    void arguments_data() {
        QTest::addColumn<QStringList>("row");
        for (const char* row : {"--version|0|pagewarden 8.0.|", "--help|0|Usage: pagewarden|",
                                "--frobnicate|2||unrecognized option '--frobnicate'",
                                "some-file.txt|2||'some-file.txt'", "--help --version|2||alone"})
            QTest::newRow(row) << QString(row).split('|');
    }
    void arguments() {
        QFETCH(QStringList, row);
        QProcess p;
        start(p, row[0].split(' '), false);
        QVERIFY(p.waitForFinished(30000));
        const QString out = p.readAllStandardOutput(), err = p.readAllStandardError();
        QCOMPARE(p.exitCode(), row[1].toInt());
        QVERIFY2(row[2].isEmpty() ? out.isEmpty() : out.startsWith(row[2]), qPrintable(out));
        QVERIFY2(row[3].isEmpty() ? err.isEmpty() : err.contains(row[3]), qPrintable(err));
        QCOMPARE(err.contains("Try 'pagewarden --help'"), row[1] != "0");
        QVERIFY(!QFile::exists(home + "/.config/pagewarden"));
    }

    void firstStart_secondInstance_andExitOnSigterm() {
        QProcess first;
        start(first);
        // The very first start stores the first-run values and the start-with-login entry, which
        // starts the same program with the same icon as the installed desktop entry.
        const QString entry = home + "/.config/autostart/pagewarden.desktop";
        QTRY_VERIFY_WITH_TIMEOUT(stored("firsttime") == "done", 60000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 60000);
        for (const char* key : {"Desktop Entry/Exec", "Desktop Entry/Icon"})
            QCOMPARE(value(entry, key), value(PAGEWARDEN_DESKTOP_ENTRY, key));

        // A second start tells the first and ends by itself and quietly, leaving it running.
        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(60000));
        QVERIFY(second.exitCode() == 0 && second.readAllStandardError().isEmpty());
        QCOMPARE(first.state(), QProcess::Running);
        QTRY_VERIFY_WITH_TIMEOUT(browsersOfThisHome() > 0, 60000); // the first's own browser

        // A value changed behind the program's back: the exit writes the panel's keys again.
        {
            QSettings s(conf, QSettings::IniFormat);
            s.setValue("Options/Killpopups", "0");
            s.setValue("Options/secondsbeforeminimize", "junk");
        }
        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        // The browser it launched ends with it.
        QTRY_COMPARE_WITH_TIMEOUT(browsersOfThisHome(), 0, 60000);
        QCOMPARE(stored("Killpopups") + stored("secondsbeforeminimize"), QStringLiteral("17"));

        // The lock and its socket went with the process. A settings file the next start cannot
        // read (a folder, which stops root too) is set aside and the defaults stored afresh.
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pagewarden.";
        QVERIFY(!QFile::exists(runtime + "lock") && !QFile::exists(runtime + "socket"));
        QVERIFY(QFile::remove(conf) && QDir().mkpath(conf));
        QProcess third;
        start(third);
        QTRY_VERIFY_WITH_TIMEOUT(browsersOfThisHome() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(stored("Killpopups") == "1", 60000);
        QVERIFY(QFileInfo(conf + ".damaged").isDir());
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += third.readAllStandardError()).contains("moved to"), 60000);
        ::kill(third.processId(), SIGINT);
        QVERIFY(third.waitForFinished(60000));
        QTRY_COMPARE_WITH_TIMEOUT(browsersOfThisHome(), 0, 60000);
    }
};

PAGEWARDEN_TEST_MAIN(TestProgram, QCoreApplication)
#include "test_program.moc"
