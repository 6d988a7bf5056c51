#pragma once

#include "platform/devtools/Endpoint.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// Asks a DevTools endpoint who it is (GET /json/version) with a small HTTP client of our own, so
// that whatever listens there cannot make us wait or buffer without end: the whole reply is capped
// and the probe has one deadline for everything, however slowly the bytes trickle in. Before a
// byte is sent, the listening socket must belong to our own user: a DevTools endpoint gives full
// control of a browser, so one that another local user put on the port is never adopted: the
// socket that accepted our connection must be shown, in the kernel's tables, to be our user's.
class VersionProbe : public QObject {
    Q_OBJECT
public:
    struct Result {
        QString browserPath;  // "/devtools/browser/<id>"; empty when this is no browser of ours
        QString error;        // why not, for the log
        bool foreign = false; // the endpoint is not proven to be our user's; `error` says why
    };

    VersionProbe(const DevToolsEndpoint& endpoint, int deadlineMs, QObject* parent = nullptr);
    ~VersionProbe() override;

    // Starts; `finished` follows exactly once, at the latest after the deadline.
    void start();

    static constexpr qsizetype maxReplySize = 1024 * 1024;

signals:
    void finished(const VersionProbe::Result& result);

private:
    void checkOwner();
    void readReply();
    bool replyComplete() const;
    void conclude();
    void fail(const QString& error, bool foreign = false);

    DevToolsEndpoint m_endpoint;
    QTcpSocket m_socket;
    QTimer m_deadline;
    QByteArray m_reply;
    bool m_done = false;
    int m_ownerLooks = 0;
};

// Who owns the far end of a TCP connection on this computer: the socket the listener accepted it
// with, found in the kernel's socket tables by the connection's two ends. That socket keeps the
// listener's owner and lasts as long as the connection, even when the listener has closed.
// Unknown when no table shows it.
enum class PeerOwner { Us, SomeoneElse, Unknown };
PeerOwner peerOwner(const QHostAddress& ourAddress, quint16 ourPort,
                    const QHostAddress& peerAddress, quint16 peerPort);
