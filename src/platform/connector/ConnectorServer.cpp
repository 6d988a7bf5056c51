#include "platform/connector/ConnectorServer.h"

#include "platform/connector/ExtensionBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcConnector, "pagewarden.connector", QtWarningMsg)

ConnectorServer::ConnectorServer(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)) {}

ConnectorServer::~ConnectorServer() {
    for (auto& [socket, connection] : m_connections)
        socket->disconnect(this);
}

bool ConnectorServer::listen() {
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ConnectorServer::accept);
    // One program per user holds the instance lock, so a socket file here was left by one that
    // died.
    QLocalServer::removeServer(m_path);
    if (!m_server->listen(m_path)) {
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    m_error.clear();
    return true;
}

QList<ExtensionBrowser*> ConnectorServer::browsers() const {
    QList<ExtensionBrowser*> out;
    for (const auto& [socket, connection] : m_connections) {
        if (connection.browser)
            out.append(connection.browser);
    }
    return out;
}

std::optional<uid_t> ConnectorServer::peerUid(qintptr socketDescriptor) {
#ifdef SO_PEERCRED
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials,
                     &size) == 0 &&
        size == sizeof credentials)
        return credentials.uid;
#else
    Q_UNUSED(socketDescriptor)
#endif
    return std::nullopt;
}

bool ConnectorServer::acceptsPeer(std::optional<uid_t> peer, uid_t ourUser) {
    return peer && *peer == ourUser;
}

void ConnectorServer::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        const std::optional<uid_t> peer = peerUid(socket->socketDescriptor());
        if (!acceptsPeer(peer, ::getuid())) {
            qCWarning(lcConnector) << "refused a connection from uid" << peer.value_or(uid_t(-1));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.try_emplace(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        read(socket);
    }
}

void ConnectorServer::read(QLocalSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (!it->second.decoder.feed(socket->readAll())) {
        qCWarning(lcConnector) << "a message over the size cap; dropping the connection";
        socket->abort();
        return drop(socket);
    }
    const QList<QByteArray> frames = it->second.decoder.takeFrames();
    for (const QByteArray& frame : frames) {
        // Looked up afresh: handling a message may run events, and this connection may end.
        it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
        if (ExtensionBrowser* browser = it->second.browser) {
            browser->receive(frame);
            continue;
        }
        // Until the extension has said who it is, nothing it says is taken.
        const auto message = ExtensionMessages::parse(frame);
        if (!message || !std::holds_alternative<ExtensionMessages::Hello>(*message))
            continue;
        auto* browser = new ExtensionBrowser(this);
        it->second.browser = browser;
        connect(browser, &ExtensionBrowser::outgoing, socket,
                [socket](const QByteArray& json) { socket->write(Wire::encodeFrame(json)); });
        browser->receive(*message);
        emit browserConnected(browser);
    }
}

void ConnectorServer::drop(QLocalSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    ExtensionBrowser* browser = it->second.browser;
    m_connections.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
    if (browser) {
        emit browserDisconnected(browser);
        browser->deleteLater();
    }
}
