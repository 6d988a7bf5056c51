#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <set>
#include <utility>

class DevToolsTransport;

// The answer to one request: either the result object or an error text (the browser's own error
// message, or ours for a timeout or a lost connection).
struct DevToolsReply {
    bool ok = false;
    QJsonObject result;
    QString error;
    bool timedOut = false;
};

// A DevTools protocol client over any transport: numbered requests with a timeout each, their
// replies, and events, with flat sessions (a sessionId on the message addresses one attached
// target over the browser's single connection).
//
// Nothing waits: send() queues the message and returns its id; the callback runs later from the
// event loop with the reply, with an error once the timeout passes, or with an error when the
// connection closes. Each callback runs exactly once, unless its context object is destroyed
// first or the client itself is destroyed. Messages that are not valid protocol JSON are counted
// and otherwise ignored.
class DevToolsClient : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const DevToolsReply&)>;

    // Takes `transport` over (it becomes a child of the client).
    explicit DevToolsClient(DevToolsTransport* transport, QObject* parent = nullptr);
    ~DevToolsClient() override;

    static constexpr int defaultTimeoutMs = 10000;

    // Sends `method` with `params`, to the browser itself (empty `sessionId`) or to one attached
    // target. Returns the request id, or 0 when the connection is closed (the callback then runs
    // from the event loop with an error). `context` guards the callback as with QObject::connect.
    qint64 send(const QString& method, const QJsonObject& params = {},
                const QString& sessionId = {}, const QObject* context = nullptr,
                Callback callback = {}, int timeoutMs = defaultTimeoutMs);

    bool isOpen() const;
    void close();

    int pendingRequests() const { return static_cast<int>(m_pending.size()); }
    int malformedMessages() const { return m_malformed; }
    // Replies whose id was unknown (already timed out, or never sent).
    int strayReplies() const { return m_stray; }

signals:
    void opened();
    // An event: `sessionId` is empty for the browser's own events.
    void eventReceived(const QString& method, const QJsonObject& params, const QString& sessionId);
    // The connection is gone; every pending request has been answered with an error by then.
    void closed(const QString& reason);

private:
    struct Pending {
        QPointer<const QObject> context;
        bool hasContext = false;
        Callback callback;
        qint64 deadline = 0; // on m_clock, in ms
        QString method;
    };

    void handleMessage(const QByteArray& message);
    void handleClosed(const QString& reason);
    void expire();
    void armTimer();
    static void deliver(Pending& pending, const DevToolsReply& reply);

    DevToolsTransport* m_transport;
    QHash<qint64, Pending> m_pending;
    // (deadline, id) of every pending request, earliest first: arming the timer and expiring cost
    // O(log n) however many requests wait (a browser with thousands of pages sends thousands).
    std::set<std::pair<qint64, qint64>> m_deadlines;
    qint64 m_nextId = 1;
    QElapsedTimer m_clock;
    QTimer m_timeoutTimer;
    qint64 m_armedFor = -1; // the deadline m_timeoutTimer runs for
    int m_malformed = 0;
    int m_stray = 0;
    bool m_closed = false;
};
