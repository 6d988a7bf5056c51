#include "platform/InstanceLock.h"
#include "platform/WebPageOpener.h"
#include "support/Recorders.h"
#include "support/TestMain.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestLockAndOpener : public QObject {
    Q_OBJECT

private slots:
    // One holder at a time, by default in the runtime folder; a second start that asks is heard by
    // the holder, and once the holder is gone nobody answers. A process that dies holding the
    // lock leaves its lock file and socket behind; the next start takes both over.
    void onlyOneHolder_whichHearsASecondStart_andALockLeftByTheDeadIsTakenOver() {
        QCOMPARE(LockFileInstanceLock::defaultPath(),
                 qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pagewarden.lock");
        QTemporaryDir dir;
        const QString path = dir.filePath("run/pagewarden.lock");
        LockFileInstanceLock first(path), second(path);
        QVERIFY(first.tryLock() && first.tryLock()); // asking again keeps it
        QVERIFY(!second.tryLock());
        QSignalSpy heard(&first, &InstanceLock::showRequested);
        // The holder answers with waits that run events, as bringing the panel back does.
        connect(&first, &InstanceLock::showRequested, this, [] { QTest::qWait(50); });
        QVERIFY(second.askHolderToShow());
        QVERIFY(heard.wait(30000));
        first.unlock();
        QVERIFY(!second.askHolderToShow());
        QVERIFY(second.tryLock());
        second.unlock();

        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(LockFileInstanceLock(path).tryLock() ? 0 : 1);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFile::exists(path) && QFile::exists(LockFileInstanceLock::socketPath(path)));
        LockFileInstanceLock lock(path);
        QVERIFY(lock.tryLock());
        QSignalSpy heardAgain(&lock, &InstanceLock::showRequested);
        QVERIFY(LockFileInstanceLock(path).askHolderToShow());
        QVERIFY(heardAgain.wait(30000));
        // A lock file that names no holder (a crash or a full disk left it empty) is stale.
        lock.unlock();
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly) && (empty.close(), true));
        QVERIFY(LockFileInstanceLock(path).tryLock());
    }

    // The lock lives in a folder only the user can write: not in a runtime folder others can
    // write, nor in one another user planted in the (world-writable) temporary folder.
    void lockFolderIsTheUsersAlone() {
        QTemporaryDir tmp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), dir = QFile::encodeName(tmp.path());
        const QString mine = tmp.path() + QStringLiteral("/pagewarden-%1").arg(::geteuid());
        QStringList folders;
        for (const char* how : {"runtime writable by all", "no runtime", "planted"}) {
            QVERIFY(::chmod(dir, 01777) == 0 && qputenv("TMPDIR", dir));
            if (how[0] == 'r')
                qputenv("XDG_RUNTIME_DIR", dir);
            else
                qunsetenv("XDG_RUNTIME_DIR");
            if (how[0] == 'p' && (!QDir(mine).removeRecursively() || !QDir().mkdir(mine) ||
                                  ::chown(QFile::encodeName(mine), 65534, 65534) != 0))
                continue; // making another user's folder needs root
            struct stat st {};
            folders << QFileInfo(LockFileInstanceLock::defaultPath()).path();
            QVERIFY(::stat(QFile::encodeName(folders.last()), &st) == 0);
            QVERIFY(st.st_uid == ::geteuid() && (st.st_mode & 077) == 0);
        }
        qputenv("XDG_RUNTIME_DIR", runtime);
        qunsetenv("TMPDIR");
        QCOMPARE(folders.mid(0, 2), (QStringList{mine, mine}));
        QVERIFY(folders.size() < 3 || !folders[2].startsWith(tmp.path()));
    }

    void guardedBrowserFirst_thenTheFallback_elseAFailureNamingThePage() {
        // guarded there, its failure, a fallback; who was asked and the failure told
        for (const auto& [there, failure, fallback, outcome] :
             {std::tuple{true, "", true, "1 0 "},
              {true, "refused", true, "1 0 refused"},
              {false, "", true, "0 1 "},
              {false, "", false,
               "0 0 No browser is available to open http://vendor.example/help."}}) {
            RecordingPages guarded, desktop;
            guarded.failure = failure;
            GuardedPageOpener opener(
                guarded, [isThere = there] { return isThere; }, fallback ? &desktop : nullptr);
            QStringList answers;
            opener.openPage("http://vendor.example/", "http://vendor.example/help",
                            [&](bool ok, const QString& why) { answers << (ok ? "" : why); });
            QCOMPARE(answers.size(), 1);
            QCOMPARE(QStringLiteral("%1 %2 %3")
                         .arg(guarded.opened.size())
                         .arg(desktop.opened.size())
                         .arg(answers.first()),
                     QString(outcome));
            for (const QString& call : guarded.startPages + desktop.startPages)
                QCOMPARE(call, "http://vendor.example/");
            for (const QString& call : guarded.opened + desktop.opened)
                QCOMPARE(call, "http://vendor.example/help");
        }
    }
};

PAGEWARDEN_TEST_MAIN(TestLockAndOpener, QCoreApplication)
#include "test_lock_and_opener.moc"
