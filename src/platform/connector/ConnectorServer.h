#pragma once

#include "platform/connector/ExtensionBrowser.h"
#include "wire/FrameCodec.h"

#include <QObject>
#include <QString>
#include <map>
#include <optional>
#include <sys/types.h>

class QLocalServer;
class QLocalSocket;

// The program's end of the extension route: a local socket, for this user alone, where the
// bridges of our extensions connect (one per browser profile). Each connection whose peer is our
// own user and that says hello becomes an ExtensionBrowser; frames are cut by the shared codec
// (never one read taken for one message), and a message over the cap drops the connection.
//
//   ConnectorServer server(Wire::connectorSocketPath());
//   QObject::connect(&server, &ConnectorServer::browserConnected, &collection, ...);
//   if (!server.listen())
//       qWarning() << server.errorString();
//
// A browser that disconnects is announced by browserDisconnected and deleted later, from the
// event loop. The server owns its browsers; they go with it, unannounced.
class ConnectorServer : public QObject {
    Q_OBJECT
public:
    explicit ConnectorServer(QString socketPath, QObject* parent = nullptr);
    ~ConnectorServer() override;

    // Makes the socket's folder if need be (for the user alone), replaces a socket file left by
    // a program that died, and listens. False with errorString() when it cannot.
    bool listen();
    QString errorString() const { return m_error; }
    QString socketPath() const { return m_path; }
    QList<ExtensionBrowser*> browsers() const;

    // The uid of the process at the other end of a connected local socket.
    static std::optional<uid_t> peerUid(qintptr socketDescriptor);
    // Only our own user may speak to us; a peer we cannot name is refused.
    static bool acceptsPeer(std::optional<uid_t> peer, uid_t ourUser);

signals:
    void browserConnected(ExtensionBrowser* browser);
    void browserDisconnected(ExtensionBrowser* browser);

private:
    struct Connection {
        Wire::FrameDecoder decoder;
        ExtensionBrowser* browser = nullptr;
    };
    void accept();
    void read(QLocalSocket* socket);
    void drop(QLocalSocket* socket);

    QString m_path;
    QString m_error;
    QLocalServer* m_server = nullptr;
    std::map<QLocalSocket*, Connection> m_connections;
};
