#include "platform/InstanceLock.h"
#include "support/TestMain.h"

#include <sys/wait.h>
#include <unistd.h>

class TestInstanceLock : public QObject {
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
    }
};

PAGEWARDEN_TEST_MAIN(TestInstanceLock, QCoreApplication)
#include "test_instance_lock.moc"
