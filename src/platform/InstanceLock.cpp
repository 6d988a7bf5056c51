#include "platform/InstanceLock.h"

#include "wire/RuntimeFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

namespace {
// What a second start says; anything else on the socket is ignored.
const QByteArray showRequest = QByteArrayLiteral("show\n");
// How long a second start tries to reach the holder before it gives up and ends anyway.
constexpr int askMilliseconds = 2000;
} // namespace

LockFileInstanceLock::LockFileInstanceLock(QString path) : m_path(std::move(path)) {}

LockFileInstanceLock::~LockFileInstanceLock() {
    unlock();
}

bool LockFileInstanceLock::tryLock() {
    if (m_lock && m_lock->isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never treat a live lock as stale by age: only a dead owner frees it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return true;
    }
    qint64 pid = 0;
    QString host, app;
    if (m_lock->error() == QLockFile::LockFailedError && !m_lock->getLockInfo(&pid, &host, &app)) {
        // A lock file that names no holder (left empty by a crash or a full disk) is held by no
        // live instance: one that holds its lock file has written itself into it. Removing it
        // fails while some process still holds the file's own lock.
        if ((m_lock->removeStaleLockFile() || !QFileInfo(m_path).isReadable()) &&
            (!QFile::exists(m_path) || QFile::remove(m_path)) && m_lock->tryLock(0)) {
            listen();
            return true;
        }
    }
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        m_whyNot = QStringLiteral("another Pagewarden holds %1 and does not answer").arg(m_path);
        break;
    case QLockFile::PermissionError:
        m_whyNot = QStringLiteral("%1 cannot be made (no permission)").arg(m_path);
        break;
    default:
        m_whyNot = QStringLiteral("%1 cannot be made or read").arg(m_path);
    }
    return false;
}

QString LockFileInstanceLock::whyNotLocked() const {
    return m_whyNot;
}

void LockFileInstanceLock::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &LockFileInstanceLock::answer);
    // Only the lock's holder listens, so a socket file already there was left by one that died.
    const QString name = socketPath(m_path);
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        // Without the socket a second start simply ends, as it always did.
        delete m_server;
        m_server = nullptr;
    }
}

void LockFileInstanceLock::answer() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > showRequest.size())
                    socket->abort();
                return;
            }
            const bool show = socket->readLine(showRequest.size() + 1) == showRequest;
            socket->disconnectFromServer();
            // Told from the event loop, not from inside this socket's handler: bringing the panel
            // back waits while events run, and the socket may be gone by then.
            if (show)
                QTimer::singleShot(0, this, [this] { emit showRequested(); });
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

bool LockFileInstanceLock::askHolderToShow() {
    QLocalSocket socket;
    socket.connectToServer(socketPath(m_path));
    if (!socket.waitForConnected(askMilliseconds))
        return false;
    socket.write(showRequest);
    const bool sent = socket.waitForBytesWritten(askMilliseconds);
    socket.disconnectFromServer();
    return sent;
}

void LockFileInstanceLock::unlock() {
    if (m_server) {
        m_server->close(); // removes the socket file
        delete m_server;
        m_server = nullptr;
    }
    if (m_lock)
        m_lock->unlock();
}

QString LockFileInstanceLock::defaultPath() {
    // In a folder only this user can write, so nobody else can plant or take our lock.
    return userRuntimeFolder() + QStringLiteral("/pagewarden.lock");
}

QString LockFileInstanceLock::socketPath(const QString& lockPath) {
    QString path = lockPath;
    if (path.endsWith(QLatin1String(".lock")))
        path.chop(5);
    return path + QStringLiteral(".socket");
}
