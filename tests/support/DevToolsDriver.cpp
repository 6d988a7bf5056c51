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
#include <QtTest>

DevToolsDriver::DevToolsDriver() = default;
DevToolsDriver::~DevToolsDriver() = default;

bool DevToolsDriver::connectTo(const QString& endpointText, bool record) {
    const auto endpoint = DevToolsEndpoint::parse(endpointText, nullptr);
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
    const QUrl ws(QJsonDocument::fromJson(reply->readAll())
                      .object()
                      .value("webSocketDebuggerUrl")
                      .toString());
    reply->deleteLater();
    if (!ws.isValid())
        return false;
    auto* transport = new WebSocketTransport;
    m_recorder = record ? new RecordingTransport(transport) : nullptr;
    m_client = std::make_unique<DevToolsClient>(
        m_recorder ? static_cast<DevToolsTransport*>(m_recorder) : transport);
    bool opened = false;
    QObject::connect(m_client.get(), &DevToolsClient::opened, [&opened] { opened = true; });
    transport->open(endpoint->webSocketUrl(ws.path()));
    return QTest::qWaitFor([&] { return opened; }, 10000);
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

QStringList DevToolsDriver::pageIds(const QString& urlPart) {
    QStringList ids;
    const QJsonArray targets = call("Target.getTargets").result.value("targetInfos").toArray();
    for (const QJsonValue& target : targets) {
        if (target["type"].toString() == "page" && target["url"].toString().contains(urlPart))
            ids << target["targetId"].toString();
    }
    return ids;
}

QString DevToolsDriver::findPage(const QString& urlPart, int timeoutMs) {
    QStringList ids;
    return QTest::qWaitFor([&] { return !(ids = pageIds(urlPart)).isEmpty(); }, timeoutMs)
               ? ids.first()
               : QString();
}

QString DevToolsDriver::attach(const QString& targetId) {
    const DevToolsReply reply =
        call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}});
    return reply.result.value("sessionId").toString();
}

QJsonObject DevToolsDriver::mouseEvent(const char* type, int x, int y) {
    return {{"type", type},     {"x", x},       {"y", y},
            {"button", "left"}, {"buttons", 1}, {"clickCount", 1}};
}

bool DevToolsDriver::click(const QString& sessionId, int x, int y) {
    for (const char* type : {"mousePressed", "mouseReleased"}) {
        if (!call("Input.dispatchMouseEvent", mouseEvent(type, x, y), sessionId).ok)
            return false;
    }
    return true;
}

QJsonValue DevToolsDriver::evaluate(const QString& sessionId, const QString& expression) {
    const DevToolsReply reply = call(
        "Runtime.evaluate",
        {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, sessionId);
    return reply.result.value("result").toObject().value("value");
}

bool DevToolsDriver::waitUntilShown(const QString& sessionId, const QString& url, int timeoutMs) {
    // Loaded and painted twice: a click now reaches the page's own handlers.
    const QString shown =
        QStringLiteral("new Promise(r => { const painted = () => requestAnimationFrame(() =>"
                       " requestAnimationFrame(() => r(location.href)));"
                       " if (document.readyState === 'complete') painted();"
                       " else addEventListener('load', painted); })");
    return QTest::qWaitFor([&] { return evaluate(sessionId, shown).toString() == url; }, timeoutMs);
}
