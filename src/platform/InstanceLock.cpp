#include "platform/InstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

LockFileInstanceLock::LockFileInstanceLock(QString path) : m_path(std::move(path)) {}

LockFileInstanceLock::~LockFileInstanceLock() = default;

bool LockFileInstanceLock::tryLock() {
    if (m_lock && m_lock->isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never treat a live lock as stale by age: only a dead owner frees it.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

void LockFileInstanceLock::unlock() {
    if (m_lock)
        m_lock->unlock();
}

QString LockFileInstanceLock::defaultPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/pagewarden.lock");
}
