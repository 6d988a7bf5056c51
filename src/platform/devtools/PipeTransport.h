#pragma once

#include "platform/devtools/DevToolsTransport.h"

#include <QByteArray>

class QSocketNotifier;

// A DevTools connection over the two pipes of a browser started with --remote-debugging-pipe: the
// browser reads NUL-terminated JSON messages on its descriptor 3 and writes them on its
// descriptor 4. This end owns the other two ends of those pipes. Nothing here ever blocks: both
// ends are non-blocking, reads are driven by a socket notifier and writes that do not fit are kept
// until the pipe drains.
class PipeTransport : public DevToolsTransport {
    Q_OBJECT
public:
    // `readFd` receives the browser's messages, `writeFd` carries ours. Both are taken over.
    PipeTransport(int readFd, int writeFd, QObject* parent = nullptr);
    ~PipeTransport() override;

    bool isOpen() const override;
    void sendMessage(const QByteArray& message) override;
    void close() override;

    // The largest message we accept; anything longer means the other side is not speaking the
    // protocol, and the connection is dropped rather than buffered without end.
    static constexpr qsizetype maxMessageSize = 16 * 1024 * 1024;

private:
    void readAvailable();
    bool deliverMessages();
    void writePending();
    void finish(const QString& reason);
    void closeDescriptors();

    int m_readFd;
    int m_writeFd;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_readBuffer;
    QByteArray m_writeBuffer;
    bool m_finished = false;
};
