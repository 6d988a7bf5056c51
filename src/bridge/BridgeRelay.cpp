#include "bridge/BridgeRelay.h"

#include "bridge/SocketOwner.h"

#include <QJsonObject>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <cerrno>
#include <unistd.h>

namespace {
// A program that stops reading is not waited for without end.
constexpr qint64 kMaxUnsentBytes = 16 * Wire::kMaxFrameBytes;
} // namespace

BridgeRelay::BridgeRelay(int input, int output, QString socketPath, QObject* parent)
    : QObject(parent), m_input(input), m_output(output), m_socketPath(std::move(socketPath)) {
    m_retry.setInterval(1000);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BridgeRelay::connectToProgram);
}

BridgeRelay::~BridgeRelay() {
    if (m_socket)
        m_socket->disconnect(this);
}

void BridgeRelay::start() {
    m_inputNotifier = new QSocketNotifier(m_input, QSocketNotifier::Read, this);
    connect(m_inputNotifier, &QSocketNotifier::activated, this, &BridgeRelay::readInput);
    connectToProgram();
}

void BridgeRelay::readInput() {
    char chunk[65536];
    const ssize_t got = ::read(m_input, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0)
        return finish(0);
    if (!m_fromBrowser.feed(QByteArrayView(chunk, got))) {
        qWarning("pagewarden-bridge: the browser sent a message over the size cap");
        return finish(1);
    }
    const QList<QByteArray> frames = m_fromBrowser.takeFrames();
    if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState)
        return; // the program is not there: the extension has been told so
    for (const QByteArray& frame : frames)
        m_socket->write(Wire::encodeFrame(frame));
    if (m_socket->bytesToWrite() > kMaxUnsentBytes) {
        qWarning("pagewarden-bridge: the program stopped reading; connecting again");
        m_socket->abort();
    }
}

void BridgeRelay::connectToProgram() {
    if (m_finished)
        return;
    const SocketOwner owner = socketOwner(m_socketPath, ::getuid());
    if (owner != SocketOwner::Ours) {
        if (owner != SocketOwner::Missing && !m_warnedOwner) {
            m_warnedOwner = true;
            qWarning("pagewarden-bridge: %s is not a socket of this user; not connecting",
                     qPrintable(m_socketPath));
        }
        tellPresence(false);
        m_retry.start();
        return;
    }
    m_fromProgram = Wire::FrameDecoder();
    m_socket = new QLocalSocket(this);
    connect(m_socket, &QLocalSocket::connected, this, [this] { tellPresence(true); });
    connect(m_socket, &QLocalSocket::readyRead, this, &BridgeRelay::readProgram);
    connect(m_socket, &QLocalSocket::disconnected, this, &BridgeRelay::programGone);
    connect(m_socket, &QLocalSocket::errorOccurred, this, &BridgeRelay::programGone);
    m_socket->connectToServer(m_socketPath);
}

void BridgeRelay::readProgram() {
    if (!m_socket)
        return;
    if (!m_fromProgram.feed(m_socket->readAll())) {
        qWarning("pagewarden-bridge: the program sent a message over the size cap");
        m_socket->abort();
        return programGone();
    }
    for (const QByteArray& frame : m_fromProgram.takeFrames()) {
        if (!writeOutput(Wire::encodeFrame(frame)))
            return finish(1);
    }
}

void BridgeRelay::programGone() {
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->deleteLater();
    m_socket = nullptr;
    tellPresence(false);
    m_retry.start();
}

void BridgeRelay::tellPresence(bool present) {
    if (m_toldPresence == int(present))
        return;
    m_toldPresence = int(present);
    const QJsonObject message{{QStringLiteral("v"), 1},
                              {QStringLiteral("type"), QStringLiteral("program")},
                              {QStringLiteral("present"), present}};
    if (!writeOutput(Wire::encodeFrame(message)))
        finish(1);
}

bool BridgeRelay::writeOutput(QByteArrayView frame) {
    // Blocking writes: the browser reads its end of the pipe at once, and a message is never cut
    // in two by another.
    while (!frame.isEmpty()) {
        const ssize_t put = ::write(m_output, frame.data(), static_cast<size_t>(frame.size()));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        frame = frame.sliced(put);
    }
    return true;
}

void BridgeRelay::finish(int code) {
    if (m_finished)
        return;
    m_finished = true;
    m_retry.stop();
    if (m_inputNotifier)
        m_inputNotifier->setEnabled(false);
    if (m_socket && m_socket->state() == QLocalSocket::ConnectedState) {
        // What the extension said last still reaches the program.
        m_socket->flush();
        if (m_socket->bytesToWrite() > 0)
            m_socket->waitForBytesWritten(1000);
    }
    emit finished(code);
}
