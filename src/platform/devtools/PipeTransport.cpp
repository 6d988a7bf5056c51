#include "platform/devtools/PipeTransport.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

void makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Writing to a pipe whose reader died raises SIGPIPE, whose default action ends the whole
// program. A browser that crashes must never take us with it, and the program's signal handling
// is not ours to change: SIGPIPE is blocked for the moment of the write, and one that the write
// raised is taken off again before it is unblocked, so the write just fails with EPIPE.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t oldMask;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &oldMask);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool wasPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int writeErrno = errno;
    if (n < 0 && writeErrno == EPIPE && !wasPending) {
        const timespec zero{};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    errno = writeErrno;
    return n;
}

} // namespace

PipeTransport::PipeTransport(int readFd, int writeFd, QObject* parent)
    : DevToolsTransport(parent), m_readFd(readFd), m_writeFd(writeFd) {
    makeNonBlocking(m_readFd);
    makeNonBlocking(m_writeFd);
    m_readNotifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PipeTransport::readAvailable);
    m_writeNotifier = new QSocketNotifier(m_writeFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PipeTransport::writePending);
    // The pipe is usable at once; say so from the event loop so that the owner can connect first.
    QTimer::singleShot(0, this, [this] {
        if (!m_finished)
            emit opened();
    });
}

PipeTransport::~PipeTransport() {
    m_finished = true;
    closeDescriptors();
}

bool PipeTransport::isOpen() const {
    return !m_finished;
}

void PipeTransport::sendMessage(const QByteArray& message) {
    if (m_finished)
        return;
    m_writeBuffer.append(message);
    m_writeBuffer.append('\0');
    writePending();
}

void PipeTransport::close() {
    finish(QStringLiteral("closed by us"));
}

void PipeTransport::readAvailable() {
    if (m_finished)
        return;
    char chunk[65536];
    // A few chunks at a time: a browser that never stops writing must not keep the event loop.
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::read(m_readFd, chunk, sizeof chunk);
        if (n > 0) {
            m_readBuffer.append(chunk, n);
            if (!deliverMessages())
                return;
            // What is left is the start of one message: it may not grow past the limit.
            if (m_readBuffer.size() > maxMessageSize) {
                finish(QStringLiteral("the browser sent an oversized message"));
                return;
            }
            continue;
        }
        if (n == 0) {
            // The browser closed its end; what came before has been delivered.
            finish(QStringLiteral("the browser closed its end of the pipe"));
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        finish(QStringLiteral("reading from the browser failed"));
        return;
    }
    // More is waiting: the notifier fires again from the event loop.
}

// Hands over every whole message in the buffer; false when a receiver closed us meanwhile.
bool PipeTransport::deliverMessages() {
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_readBuffer.indexOf('\0', start);
        if (end < 0)
            break;
        const QByteArray message = m_readBuffer.mid(start, end - start);
        start = end + 1;
        if (!message.isEmpty())
            emit messageReceived(message);
        if (m_finished)
            return false;
    }
    m_readBuffer.remove(0, start);
    return true;
}

void PipeTransport::writePending() {
    while (!m_writeBuffer.isEmpty() && !m_finished) {
        const ssize_t n = writeWithoutSigpipe(m_writeFd, m_writeBuffer.constData(),
                                              static_cast<size_t>(m_writeBuffer.size()));
        if (n > 0) {
            m_writeBuffer.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        finish(QStringLiteral("the browser closed its end of the pipe"));
        return;
    }
    if (!m_finished)
        m_writeNotifier->setEnabled(!m_writeBuffer.isEmpty());
}

void PipeTransport::finish(const QString& reason) {
    if (m_finished)
        return;
    m_finished = true;
    closeDescriptors();
    emit closed(reason);
}

void PipeTransport::closeDescriptors() {
    if (m_readNotifier) {
        m_readNotifier->setEnabled(false);
        delete m_readNotifier;
        m_readNotifier = nullptr;
    }
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
        delete m_writeNotifier;
        m_writeNotifier = nullptr;
    }
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
    m_readFd = -1;
    m_writeFd = -1;
}
