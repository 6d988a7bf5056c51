#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Makes sure only one Pagewarden runs for a user: the first start holds the lock until it ends;
// a second start sees it taken.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // True when this process now holds the lock; false when another instance has it.
    virtual bool tryLock() = 0;
};

// A lock file in the user's runtime folder. A lock left behind by a crashed instance is taken
// over, since the lock file records the process that holds it.
class LockFileInstanceLock : public InstanceLock {
public:
    explicit LockFileInstanceLock(QString path);
    ~LockFileInstanceLock() override;
    bool tryLock() override;
    // Gives the lock back (the process is about to end).
    void unlock();

    static QString defaultPath();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
