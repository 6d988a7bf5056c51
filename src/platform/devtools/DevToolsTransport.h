#pragma once

#include <QByteArray>
#include <QObject>

// One connection to a browser's DevTools endpoint that carries whole JSON messages both ways. The
// client above it never learns whether the bytes go over a WebSocket or a pipe.
class DevToolsTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DevToolsTransport() override = default;

    // True while messages can be sent and may arrive.
    virtual bool isOpen() const = 0;

    // Queues one message. Never blocks; a message given to a closed transport is dropped.
    virtual void sendMessage(const QByteArray& message) = 0;

    // Closes the connection. `closed` follows (at once or from the event loop), once.
    virtual void close() = 0;

signals:
    void opened();
    void messageReceived(const QByteArray& message);
    // The connection is gone for good; the transport is not reused.
    void closed(const QString& reason);
};
