#include "platform/devtools/WebSocketTransport.h"

WebSocketTransport::WebSocketTransport(QObject* parent) : DevToolsTransport(parent) {
    // Loopback only: a proxy from the environment must never carry this connection elsewhere.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    // Qt buffers a whole message before handing it over: a browser that sends one without end
    // must end the connection, not take all our memory.
    m_socket.setMaxAllowedIncomingMessageSize(maxMessageSize);
    m_socket.setMaxAllowedIncomingFrameSize(maxMessageSize);
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        m_open = true;
        emit opened();
    });
    connect(&m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { emit messageReceived(text.toUtf8()); });
    connect(&m_socket, &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray& data) { emit messageReceived(data); });
    connect(&m_socket, &QWebSocket::disconnected, this,
            [this] { finish(QStringLiteral("the connection was closed")); });
    connect(&m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { finish(m_socket.errorString()); });
}

WebSocketTransport::~WebSocketTransport() {
    m_finished = true; // no signals from a transport being destroyed
    m_socket.disconnect(this);
    m_socket.abort();
}

void WebSocketTransport::open(const QUrl& url) {
    m_socket.open(url);
}

bool WebSocketTransport::isOpen() const {
    return m_open && !m_finished;
}

void WebSocketTransport::sendMessage(const QByteArray& message) {
    if (!isOpen())
        return;
    m_socket.sendTextMessage(QString::fromUtf8(message));
}

void WebSocketTransport::close() {
    if (m_finished)
        return;
    m_socket.abort();
    finish(QStringLiteral("closed by us"));
}

void WebSocketTransport::finish(const QString& reason) {
    if (m_finished)
        return;
    m_finished = true;
    m_open = false;
    emit closed(reason);
}
