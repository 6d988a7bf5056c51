#pragma once

#include "platform/devtools/DevToolsClient.h"

#include <QJsonObject>
#include <QString>
#include <memory>

// The test's own hands on the browser, over a second DevTools connection: finds pages, clicks in
// them and runs script in them, the way a user or a page would. Calls wait (with events
// processed) for their reply; that is fine in a test and never done in the program.
class DevToolsDriver {
public:
    // Connects to the browser at "127.0.0.1:<port>".
    bool connectTo(const QString& endpoint);
    DevToolsClient* client() { return m_client.get(); }

    // Sends a request and waits for its reply.
    DevToolsReply call(const QString& method, const QJsonObject& params = {},
                       const QString& sessionId = {}, int timeoutMs = 15000);
    // Every page target id; with `urlPart`, only those whose address contains it.
    QStringList pageIds(const QString& urlPart = {});
    // The first page whose address contains `urlPart`, waited for.
    QString findPage(const QString& urlPart, int timeoutMs = 15000);
    // Attaches to a page and gives the session id (empty on failure).
    QString attach(const QString& targetId);
    // A left click at (x, y) in the page's viewport, press and release, sent without waiting.
    void click(const QString& sessionId, int x, int y);
    // Runs script in the page and gives its value.
    QJsonValue evaluate(const QString& sessionId, const QString& expression);
    // Waits until the page shows `url`, loaded and painted, ready for clicks.
    bool waitUntilShown(const QString& sessionId, const QString& url, int timeoutMs = 30000);

private:
    std::unique_ptr<DevToolsClient> m_client;
};
