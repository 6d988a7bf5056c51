#include "platform/devtools/VersionProbe.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QUrl>
#include <cstring>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

// The kernel prints each 32-bit word of an address as the number it is in host byte order.
QByteArray kernelHex(const QByteArray& networkOrder) {
    QByteArray hex;
    for (qsizetype i = 0; i + 4 <= networkOrder.size(); i += 4) {
        quint32 word = 0;
        std::memcpy(&word, networkOrder.constData() + i, 4);
        hex += QByteArray::number(word, 16).rightJustified(8, '0').toUpper();
    }
    return hex;
}

QByteArray bytesOf(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 v4 = address.toIPv4Address();
        const char raw[4] = {char(v4 >> 24), char(v4 >> 16), char(v4 >> 8), char(v4)};
        return QByteArray(raw, 4);
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(v6.c), 16);
}

} // namespace

PeerOwner peerOwner(const QHostAddress& ourAddress, quint16 ourPort,
                    const QHostAddress& peerAddress, quint16 peerPort) {
    // How an address shows in the tables: in its family's own, and an IPv4 one also as the
    // IPv4-mapped address, for a listener on IPv6 that took an IPv4 connection.
    const auto forms = [](const QHostAddress& address) {
        bool v4 = false;
        const quint32 ip4 = address.toIPv4Address(&v4);
        const QHostAddress plain = v4 ? QHostAddress(ip4) : address;
        QList<QByteArray> hex{kernelHex(bytesOf(plain))};
        if (v4)
            hex << kernelHex(QByteArray(10, '\0') + QByteArray(2, '\xff') + bytesOf(plain));
        return hex;
    };
    const auto portHex = [](quint16 port) {
        return QByteArray::number(port, 16).rightJustified(4, '0').toUpper();
    };
    const QList<QByteArray> peerForms = forms(peerAddress), ourForms = forms(ourAddress);
    const auto is = [](const QByteArray& field, const QList<QByteArray>& hosts,
                       const QByteArray& port) {
        const QList<QByteArray> parts = field.split(':');
        return parts.size() == 2 && parts.at(1) == port && hosts.contains(parts.at(0));
    };
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the heading
        while (!file.atEnd()) {
            const QList<QByteArray> f = file.readLine().simplified().split(' ');
            // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
            // The far end's socket: its local end is the peer, its remote end is us. A listener
            // (state 0A) never is.
            if (f.size() < 8 || f.at(3) == "0A" || !is(f.at(1), peerForms, portHex(peerPort)) ||
                !is(f.at(2), ourForms, portHex(ourPort)))
                continue;
            return f.at(7).toUInt() == ::geteuid() ? PeerOwner::Us : PeerOwner::SomeoneElse;
        }
    }
    return PeerOwner::Unknown;
}

VersionProbe::VersionProbe(const DevToolsEndpoint& endpoint, int deadlineMs, QObject* parent)
    : QObject(parent), m_endpoint(endpoint) {
    // Loopback only: a proxy from the environment must never carry this request elsewhere.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(deadlineMs);
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no whole answer in time")); });
    connect(&m_socket, &QTcpSocket::connected, this, &VersionProbe::checkOwner);
    connect(&m_socket, &QTcpSocket::readyRead, this, &VersionProbe::readReply);
    connect(&m_socket, &QTcpSocket::disconnected, this, &VersionProbe::conclude);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            conclude();
        else
            fail(m_socket.errorString());
    });
}

VersionProbe::~VersionProbe() {
    // A socket that is still connected says so while it is destroyed: not to us any more.
    m_done = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

void VersionProbe::checkOwner() {
    if (m_done)
        return;
    const PeerOwner owner = peerOwner(m_socket.localAddress(), m_socket.localPort(),
                                      m_socket.peerAddress(), m_socket.peerPort());
    // The far end's socket enters the table a moment after our end sees the connection: look
    // a few times before giving up on it.
    if (owner == PeerOwner::Unknown && ++m_ownerLooks < 20) {
        QTimer::singleShot(10, this, &VersionProbe::checkOwner);
        return;
    }
    if (owner != PeerOwner::Us) {
        fail(owner == PeerOwner::SomeoneElse ? QStringLiteral("it belongs to another user")
                                             : QStringLiteral("its owner cannot be proven"),
             true);
        return;
    }
    m_socket.write("GET /json/version HTTP/1.1\r\nHost: " + m_endpoint.display().toLatin1() +
                   "\r\nConnection: close\r\n\r\n");
}

void VersionProbe::start() {
    m_deadline.start();
    m_socket.connectToHost(QHostAddress(m_endpoint.host), m_endpoint.port);
}

void VersionProbe::readReply() {
    if (m_done)
        return;
    const qint64 room = maxReplySize - m_reply.size();
    if (m_socket.bytesAvailable() > room) {
        fail(QStringLiteral("the answer is too large"));
        return;
    }
    m_reply += m_socket.readAll();
    if (replyComplete())
        conclude();
}

bool VersionProbe::replyComplete() const {
    const qsizetype headerEnd = m_reply.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    for (const QByteArray& line : m_reply.left(headerEnd).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
            return m_reply.size() - headerEnd - 4 >= line.mid(colon + 1).trimmed().toLongLong();
    }
    return false; // no length: the answer ends when the connection does
}

void VersionProbe::conclude() {
    if (m_done)
        return;
    if (m_socket.isOpen())
        m_reply += m_socket.read(maxReplySize - m_reply.size());
    const qsizetype headerEnd = m_reply.indexOf("\r\n\r\n");
    if (headerEnd < 0 || !m_reply.startsWith("HTTP/1.") || m_reply.mid(9, 3) != "200") {
        fail(QStringLiteral("not a DevTools endpoint"));
        return;
    }
    const QJsonObject info = QJsonDocument::fromJson(m_reply.mid(headerEnd + 4)).object();
    const QUrl ws(info.value(QStringLiteral("webSocketDebuggerUrl")).toString());
    Result result;
    if (ws.isValid() && ws.path().startsWith(QLatin1String("/devtools/browser/")))
        result.browserPath = ws.path();
    else
        result.error = QStringLiteral("not a DevTools endpoint");
    m_done = true;
    m_deadline.stop();
    m_socket.abort();
    emit finished(result);
}

void VersionProbe::fail(const QString& error, bool foreign) {
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    m_socket.abort();
    Result result;
    result.error = error;
    result.foreign = foreign;
    emit finished(result);
}
