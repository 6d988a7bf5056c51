#include "support/DevToolsDriver.h"

#include "platform/devtools/Endpoint.h"
#include "platform/devtools/VersionProbe.h"
#include "platform/devtools/WebSocketTransport.h"

#include <QtTest>

bool DevToolsDriver::connectTo(const QString& endpointText) {
    const auto endpoint = DevToolsEndpoint::parse(endpointText, nullptr);
    if (!endpoint)
        return false;
    std::optional<QString> path;
    VersionProbe probe(*endpoint, 10000);
    QObject::connect(&probe, &VersionProbe::finished,
                     [&path](const VersionProbe::Result& r) { path = r.browserPath; });
    probe.start();
    if (!QTest::qWaitFor([&] { return path.has_value(); }, 15000) || path->isEmpty())
        return false;
    auto* transport = new WebSocketTransport;
    m_client = std::make_unique<DevToolsClient>(transport);
    transport->open(endpoint->webSocketUrl(*path));
    return QTest::qWaitFor([&] { return m_client->isOpen(); }, 10000);
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

void DevToolsDriver::click(const QString& sessionId, int x, int y) {
    for (const char* type : {"mousePressed", "mouseReleased"})
        m_client->send("Input.dispatchMouseEvent",
                       {{"type", type},
                        {"x", x},
                        {"y", y},
                        {"button", "left"},
                        {"buttons", 1},
                        {"clickCount", 1}},
                       sessionId);
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
