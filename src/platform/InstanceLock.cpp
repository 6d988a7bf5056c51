#include "platform/InstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <unistd.h>

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
    if (!m_lock->tryLock(0))
        return false;
    listen();
    return true;
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
    // The session's runtime folder when there is one; else the temporary folder, with the user's
    // id in the name so that two users never share a lock.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/pagewarden.lock");
    return QDir::tempPath() + QStringLiteral("/pagewarden-%1.lock").arg(::getuid());
}

QString LockFileInstanceLock::socketPath(const QString& lockPath) {
    QString path = lockPath;
    if (path.endsWith(QLatin1String(".lock")))
        path.chop(5);
    return path + QStringLiteral(".socket");
}
