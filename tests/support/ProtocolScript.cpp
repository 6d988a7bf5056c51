#include "support/ProtocolScript.h"

#include <QFile>
#include <QJsonDocument>

namespace {

QJsonObject parsed(const QByteArray& message) {
    return QJsonDocument::fromJson(message).object();
}

QByteArray text(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Copies "result" and "error" (whichever there is) from one message or step to another.
void copyOutcome(const QJsonObject& from, QJsonObject& to) {
    for (const char* key : {"result", "error"}) {
        if (from.contains(key))
            to.insert(key, from.value(key));
    }
}

} // namespace

RecordingTransport::RecordingTransport(DevToolsTransport* inner) : m_inner(inner) {
    inner->setParent(this);
    connect(inner, &DevToolsTransport::opened, this, &DevToolsTransport::opened);
    connect(inner, &DevToolsTransport::closed, this, &DevToolsTransport::closed);
    connect(inner, &DevToolsTransport::messageReceived, this, [this](const QByteArray& message) {
        const QJsonObject m = parsed(message);
        QJsonObject step;
        if (m.contains("id")) {
            step = m_asked.take(m.value("id").toInteger());
            step.insert("reply", step.take("method"));
            copyOutcome(m, step);
        } else {
            step = QJsonObject{{"event", m.value("method")}, {"params", m.value("params")}};
            if (m.contains("sessionId"))
                step.insert("sessionId", m.value("sessionId"));
        }
        m_steps.append(step);
        emit messageReceived(message);
    });
}

void RecordingTransport::sendMessage(const QByteArray& message) {
    const QJsonObject m = parsed(message);
    QJsonObject asked{{"method", m.value("method")}};
    if (m.contains("sessionId"))
        asked.insert("sessionId", m.value("sessionId"));
    m_asked.insert(m.value("id").toInteger(), asked);
    m_inner->sendMessage(message);
}

bool RecordingTransport::save(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // One step a line keeps the scripts readable and their diffs small.
    file.write("[\n");
    for (qsizetype i = 0; i < m_steps.size(); ++i)
        file.write(text(m_steps.at(i).toObject()) + (i + 1 < m_steps.size() ? ",\n" : "\n"));
    file.write("]\n");
    return true;
}

QJsonArray ReplayTransport::load(const QString& name) {
    QFile file(QStringLiteral(PAGEWARDEN_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qWarning("cannot read %s", qPrintable(file.fileName()));
    return QJsonDocument::fromJson(file.readAll()).array();
}

void ReplayTransport::sendMessage(const QByteArray& message) {
    const QJsonObject m = parsed(message);
    const QJsonObject request{{"id", m.value("id")},
                              {"method", m.value("method")},
                              {"sessionId", m.value("sessionId").toString()},
                              {"params", m.value("params")},
                              {"step", m_next}};
    sent.append(request);
    const std::optional<QJsonObject> result = responder ? responder(request) : std::nullopt;
    if (!result) {
        m_waiting.append(request);
        return;
    }
    // From the event loop, as a real browser answers: never inside send().
    const QByteArray reply = text({{"id", m.value("id")}, {"result", *result}});
    QMetaObject::invokeMethod(
        this,
        [this, reply] {
            if (m_open)
                emit messageReceived(reply);
        },
        Qt::QueuedConnection);
}

void ReplayTransport::drop(const QString& reason) {
    if (!m_open)
        return;
    m_open = false;
    emit closed(reason);
}

void ReplayTransport::playTo(const QString& mark) {
    while (m_open && m_next < m_steps.size()) {
        const QJsonObject step = m_steps.at(m_next++).toObject();
        if (step.contains("mark")) {
            if (step.value("mark").toString() == mark)
                return;
        } else if (step.contains("event")) {
            QJsonObject event{{"method", step.value("event")}, {"params", step.value("params")}};
            if (step.contains("sessionId"))
                event.insert("sessionId", step.value("sessionId"));
            receive(text(event));
        } else {
            const auto asked = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const auto& r) {
                return r.value("method") == step.value("reply") &&
                       r.value("sessionId").toString() == step.value("sessionId").toString();
            });
            if (asked == m_waiting.end())
                continue;
            QJsonObject reply{{"id", asked->value("id")}};
            m_waiting.erase(asked);
            copyOutcome(step, reply);
            receive(text(reply));
        }
    }
}

QStringList ReplayTransport::sentMethods(const QString& sessionId) const {
    QStringList methods;
    for (const QJsonObject& request : sent) {
        if (sessionId.isEmpty() || request.value("sessionId").toString() == sessionId)
            methods << request.value("method").toString();
    }
    return methods;
}
