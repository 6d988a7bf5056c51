#include "platform/InstanceLock.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

class TestInstanceLock : public QObject {
    Q_OBJECT

private slots:
    void onlyOneHolderAtATime() {
        QTemporaryDir dir;
        const QString path = dir.filePath("run/pagewarden.lock");
        LockFileInstanceLock first(path);
        LockFileInstanceLock second(path);
        QVERIFY(first.tryLock());
        QVERIFY(first.tryLock()); // asking again keeps it
        QVERIFY(!second.tryLock());
        first.unlock();
        QVERIFY(second.tryLock());
    }

    void aLockLeftByAProcessThatDiedIsTakenOver() {
        QTemporaryDir dir;
        const QString path = dir.filePath("pagewarden.lock");
        // A child takes the lock and ends without giving it back, as a crash would.
        const pid_t child = ::fork();
        if (child == 0) {
            LockFileInstanceLock held(path);
            ::_exit(held.tryLock() ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFile::exists(path));
        LockFileInstanceLock lock(path);
        QVERIFY(lock.tryLock());
    }

    void defaultPathIsInTheRuntimeFolder() {
        QCOMPARE(LockFileInstanceLock::defaultPath(),
                 qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pagewarden.lock");
    }
};

PAGEWARDEN_TEST_MAIN(TestInstanceLock, QCoreApplication)
#include "test_instance_lock.moc"
