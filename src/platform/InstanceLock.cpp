#include "platform/InstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <unistd.h>

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
    // The session's runtime folder when there is one; else the temporary folder, with the user's
    // id in the name so that two users never share a lock.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/pagewarden.lock");
    return QDir::tempPath() + QStringLiteral("/pagewarden-%1.lock").arg(::getuid());
}
