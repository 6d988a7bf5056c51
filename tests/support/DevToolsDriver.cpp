#include "support/DevToolsDriver.h"

#include "platform/devtools/Endpoint.h"
#include "platform/devtools/WebSocketTransport.h"
#include "support/ProtocolScript.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>
#include <QtTest>

DevToolsDriver::DevToolsDriver() = default;
DevToolsDriver::~DevToolsDriver() = default;

bool DevToolsDriver::connectTo(const QString& endpointText, bool record) {
    QString error;
    const auto endpoint = DevToolsEndpoint::parse(endpointText, &error);
    if (!endpoint)
        return false;
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(endpoint->versionUrl());
    request.setTransferTimeout(10000);
    QNetworkReply* reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonObject info = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    const QUrl ws(info.value(QStringLiteral("webSocketDebuggerUrl")).toString());
    if (!ws.isValid())
        return false;
    auto* transport = new WebSocketTransport;
    m_recorder = record ? new RecordingTransport(transport) : nullptr;
    m_client = std::make_unique<DevToolsClient>(
        m_recorder ? static_cast<DevToolsTransport*>(m_recorder) : transport);
    bool opened = false;
    QObject::connect(m_client.get(), &DevToolsClient::opened, [&opened] { opened = true; });
    transport->open(endpoint->webSocketUrl(ws.path()));
    QDeadlineTimer deadline(10000);
    while (!opened && !deadline.hasExpired())
        QTest::qWait(20);
    return opened;
}

DevToolsReply DevToolsDriver::call(const QString& method, const QJsonObject& params,
                                   const QString& sessionId, int timeoutMs) {
    DevToolsReply result;
    result.error = QStringLiteral("not connected");
    if (!m_client)
        return result;
    bool done = false;
    QEventLoop loop;
    m_client->send(
        method, params, sessionId, &loop,
        [&](const DevToolsReply& reply) {
            result = reply;
            done = true;
            loop.quit();
        },
        timeoutMs);
    if (!done)
        loop.exec();
    return result;
}

QStringList DevToolsDriver::pageIds() {
    QStringList ids;
    const DevToolsReply reply = call(QStringLiteral("Target.getTargets"));
    for (const QJsonValue& value : reply.result.value(QStringLiteral("targetInfos")).toArray()) {
        const QJsonObject info = value.toObject();
        if (info.value(QStringLiteral("type")).toString() == QLatin1String("page"))
            ids << info.value(QStringLiteral("targetId")).toString();
    }
    return ids;
}

QString DevToolsDriver::findPage(const QString& urlPart, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    do {
        const DevToolsReply reply = call(QStringLiteral("Target.getTargets"));
        for (const QJsonValue& value :
             reply.result.value(QStringLiteral("targetInfos")).toArray()) {
            const QJsonObject info = value.toObject();
            if (info.value(QStringLiteral("type")).toString() == QLatin1String("page") &&
                info.value(QStringLiteral("url")).toString().contains(urlPart))
                return info.value(QStringLiteral("targetId")).toString();
        }
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return {};
}

QString DevToolsDriver::attach(const QString& targetId) {
    const DevToolsReply reply = call(
        QStringLiteral("Target.attachToTarget"),
        QJsonObject{{QStringLiteral("targetId"), targetId}, {QStringLiteral("flatten"), true}});
    return reply.result.value(QStringLiteral("sessionId")).toString();
}

bool DevToolsDriver::click(const QString& sessionId, int x, int y) {
    for (const char* type : {"mousePressed", "mouseReleased"}) {
        const DevToolsReply reply =
            call(QStringLiteral("Input.dispatchMouseEvent"),
                 QJsonObject{{QStringLiteral("type"), QString::fromLatin1(type)},
                             {QStringLiteral("x"), x},
                             {QStringLiteral("y"), y},
                             {QStringLiteral("button"), QStringLiteral("left")},
                             {QStringLiteral("buttons"), 1},
                             {QStringLiteral("clickCount"), 1}},
                 sessionId);
        if (!reply.ok)
            return false;
    }
    return true;
}

QJsonValue DevToolsDriver::evaluate(const QString& sessionId, const QString& expression) {
    const DevToolsReply reply = call(QStringLiteral("Runtime.evaluate"),
                                     QJsonObject{{QStringLiteral("expression"), expression},
                                                 {QStringLiteral("returnByValue"), true},
                                                 {QStringLiteral("awaitPromise"), true}},
                                     sessionId);
    return reply.result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
}

bool DevToolsDriver::waitUntilShown(const QString& sessionId, const QString& url, int timeoutMs) {
    // Loaded and painted twice: a click now reaches the page's own handlers.
    const QString shown =
        QStringLiteral("new Promise(r => { const painted = () => requestAnimationFrame(() =>"
                       " requestAnimationFrame(() => r(location.href)));"
                       " if (document.readyState === 'complete') painted();"
                       " else addEventListener('load', painted); })");
    QDeadlineTimer deadline(timeoutMs);
    while (evaluate(sessionId, shown).toString() != url) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}
