#pragma once

#include "platform/devtools/DevToolsTransport.h"

#include <QNetworkProxy>
#include <QUrl>
#include <QWebSocket>

// A DevTools connection over a WebSocket (a browser started with --remote-debugging-port).
class WebSocketTransport : public DevToolsTransport {
    Q_OBJECT
public:
    explicit WebSocketTransport(QObject* parent = nullptr);
    ~WebSocketTransport() override;

    // Starts connecting; `opened` or `closed` follows.
    void open(const QUrl& url);

    bool isOpen() const override;
    void sendMessage(const QByteArray& message) override;
    void close() override;
    const QWebSocket& socket() const { return m_socket; }

    // The largest message we accept; a longer one ends the connection.
    static constexpr quint64 maxMessageSize = 16 * 1024 * 1024;

private:
    void finish(const QString& reason);

    QWebSocket m_socket;
    bool m_open = false;
    bool m_finished = false;
};
