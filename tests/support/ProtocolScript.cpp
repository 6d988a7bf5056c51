#include "support/ProtocolScript.h"

#include <QFile>
#include <QJsonDocument>

namespace {

QByteArray text(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QJsonArray ReplayTransport::load(const QString& name) {
    QFile file(QStringLiteral(PAGEWARDEN_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qWarning("cannot read %s", qPrintable(file.fileName()));
    return QJsonDocument::fromJson(file.readAll()).array();
}

void ReplayTransport::sendMessage(const QByteArray& message) {
    const QJsonObject m = QJsonDocument::fromJson(message).object();
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
            for (const char* key : {"result", "error"}) {
                if (step.contains(key))
                    reply.insert(key, step.value(key));
            }
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
