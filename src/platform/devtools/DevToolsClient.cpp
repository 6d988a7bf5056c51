#include "platform/devtools/DevToolsClient.h"

#include "platform/devtools/DevToolsTransport.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDevTools, "pagewarden.devtools", QtWarningMsg)

DevToolsClient::DevToolsClient(DevToolsTransport* transport, QObject* parent)
    : QObject(parent), m_transport(transport) {
    m_transport->setParent(this);
    m_clock.start();
    m_timeoutTimer.setSingleShot(true);
    connect(&m_timeoutTimer, &QTimer::timeout, this, &DevToolsClient::expire);
    connect(m_transport, &DevToolsTransport::opened, this, &DevToolsClient::opened);
    connect(m_transport, &DevToolsTransport::messageReceived, this, &DevToolsClient::handleMessage);
    connect(m_transport, &DevToolsTransport::closed, this, &DevToolsClient::handleClosed);
}

DevToolsClient::~DevToolsClient() {
    // Callbacks are not run from a destructor: their owners may be half gone already.
    m_pending.clear();
    m_deadlines.clear();
    m_transport->disconnect(this);
}

bool DevToolsClient::isOpen() const {
    return !m_closed && m_transport->isOpen();
}

void DevToolsClient::close() {
    m_transport->close();
}

qint64 DevToolsClient::send(const QString& method, const QJsonObject& params,
                            const QString& sessionId, const QObject* context, Callback callback,
                            int timeoutMs) {
    if (!isOpen()) {
        if (callback) {
            QPointer<const QObject> guard(context);
            const bool hasContext = context != nullptr;
            QTimer::singleShot(0, this, [guard, hasContext, cb = std::move(callback)] {
                if (hasContext && !guard)
                    return;
                DevToolsReply reply;
                reply.error = QStringLiteral("not connected");
                cb(reply);
            });
        }
        return 0;
    }
    const qint64 id = m_nextId++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}};
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    if (!sessionId.isEmpty())
        message.insert(QStringLiteral("sessionId"), sessionId);

    Pending pending;
    pending.context = context;
    pending.hasContext = context != nullptr;
    pending.callback = std::move(callback);
    pending.deadline = m_clock.elapsed() + qMax(1, timeoutMs);
    pending.method = method;
    m_deadlines.emplace(pending.deadline, id);
    m_pending.insert(id, std::move(pending));
    armTimer();

    m_transport->sendMessage(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return id;
}

void DevToolsClient::handleMessage(const QByteArray& message) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        ++m_malformed;
        qCWarning(lcDevTools) << "ignoring a message that is not a JSON object:"
                              << message.left(200);
        return;
    }
    const QJsonObject object = doc.object();
    const QString sessionId = object.value(QStringLiteral("sessionId")).toString();
    const QJsonValue idValue = object.value(QStringLiteral("id"));
    if (!idValue.isUndefined()) {
        const double raw = idValue.toDouble(-1);
        const qint64 id = static_cast<qint64>(raw);
        if (!idValue.isDouble() || raw != static_cast<double>(id) || id <= 0) {
            ++m_malformed;
            qCWarning(lcDevTools) << "ignoring a reply with a bad id:" << message.left(200);
            return;
        }
        auto it = m_pending.find(id);
        if (it == m_pending.end()) {
            ++m_stray;
            qCDebug(lcDevTools) << "reply to an unknown or expired request" << id;
            return;
        }
        Pending pending = std::move(it.value());
        m_pending.erase(it);
        m_deadlines.erase({pending.deadline, id});
        DevToolsReply reply;
        const QJsonValue errorValue = object.value(QStringLiteral("error"));
        if (errorValue.isObject()) {
            reply.error = errorValue.toObject().value(QStringLiteral("message")).toString();
            if (reply.error.isEmpty())
                reply.error = QStringLiteral("the browser refused %1").arg(pending.method);
        } else {
            const QJsonValue result = object.value(QStringLiteral("result"));
            reply.ok = true;
            reply.result = result.toObject();
        }
        deliver(pending, reply);
        armTimer();
        return;
    }
    const QJsonValue method = object.value(QStringLiteral("method"));
    if (!method.isString()) {
        ++m_malformed;
        qCWarning(lcDevTools) << "ignoring a message that is neither reply nor event:"
                              << message.left(200);
        return;
    }
    emit eventReceived(method.toString(), object.value(QStringLiteral("params")).toObject(),
                       sessionId);
}

void DevToolsClient::handleClosed(const QString& reason) {
    if (m_closed)
        return;
    m_closed = true;
    m_timeoutTimer.stop();
    auto pending = std::move(m_pending);
    m_pending.clear();
    m_deadlines.clear();
    DevToolsReply reply;
    reply.error = QStringLiteral("connection lost: %1").arg(reason);
    QPointer<DevToolsClient> self(this);
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        deliver(it.value(), reply);
        // A callback may have destroyed the client.
        // cppcheck-suppress knownConditionTrueFalse
        if (!self)
            return;
    }
    emit closed(reason);
}

void DevToolsClient::expire() {
    const qint64 now = m_clock.elapsed();
    QPointer<DevToolsClient> self(this);
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const qint64 id = m_deadlines.begin()->second;
        m_deadlines.erase(m_deadlines.begin());
        auto it = m_pending.find(id);
        if (it == m_pending.end())
            continue;
        Pending pending = std::move(it.value());
        m_pending.erase(it);
        DevToolsReply reply;
        reply.timedOut = true;
        reply.error = QStringLiteral("%1 timed out").arg(pending.method);
        qCDebug(lcDevTools) << reply.error;
        deliver(pending, reply);
        // A callback may have destroyed the client.
        // cppcheck-suppress knownConditionTrueFalse
        if (!self)
            return;
    }
    armTimer();
}

void DevToolsClient::armTimer() {
    if (m_deadlines.empty()) {
        m_timeoutTimer.stop();
        return;
    }
    const qint64 earliest = m_deadlines.begin()->first;
    if (m_timeoutTimer.isActive() && earliest == m_armedFor)
        return; // re-registering a timer on every request is not free either
    m_armedFor = earliest;
    const qint64 wait = qMax<qint64>(0, earliest - m_clock.elapsed());
    m_timeoutTimer.start(static_cast<int>(qMin<qint64>(wait, 24 * 3600 * 1000)));
}

void DevToolsClient::deliver(Pending& pending, const DevToolsReply& reply) {
    if (!pending.callback)
        return;
    if (pending.hasContext && !pending.context)
        return;
    pending.callback(reply);
}
