#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// Makes sure only one Pagewarden runs for a user: the first start holds the lock until it ends;
// a second start sees it taken, asks the holder to show itself and ends.
class InstanceLock : public QObject {
    Q_OBJECT
public:
    ~InstanceLock() override = default;
    // True when this process now holds the lock; false when another instance has it.
    virtual bool tryLock() = 0;
    // Asks the instance that holds the lock to bring its panel to the front. False when it could
    // not be told (a lock with no way to reach its holder says so at once).
    virtual bool askHolderToShow() { return false; }
    // Why the last tryLock failed, in words for the user.
    virtual QString whyNotLocked() const { return QStringLiteral("another Pagewarden runs"); }

signals:
    // A second start asked this instance, the holder, to bring its panel to the front.
    void showRequested();
};

// A lock file in the user's runtime folder, and beside it the local socket on which the holder
// hears a second start. A lock left behind by a crashed instance is taken over, since the lock
// file records the process that holds it; its socket file is then replaced. So is a lock file
// that names no process (empty or unreadable): no live instance holds it.
class LockFileInstanceLock : public InstanceLock {
    Q_OBJECT
public:
    explicit LockFileInstanceLock(QString path);
    ~LockFileInstanceLock() override;
    bool tryLock() override;
    bool askHolderToShow() override;
    QString whyNotLocked() const override;
    // Gives the lock back (the process is about to end).
    void unlock();

    // pagewarden.lock in the user's private runtime folder (userRuntimeFolder).
    static QString defaultPath();
    // The socket that belongs to the lock at `lockPath`.
    static QString socketPath(const QString& lockPath);

private:
    void listen();
    void answer();

    QString m_path;
    QString m_whyNot;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
