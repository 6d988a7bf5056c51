#pragma once

#include "platform/devtools/DevToolsClient.h"

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A real headless Firefox for the browser tests, driven over WebDriver BiDi (its only remote
// protocol now): a throw-away profile in the test's home, with the popup blocker forced back on
// (BiDi's own preferences switch it off), stopped with its process group when the object goes.
// BiDi's requests and answers have the DevTools protocol's shape, so the DevTools client carries
// them; calls wait (with events processed) for their answer, as a test may.
class FirefoxProcess {
public:
    ~FirefoxProcess() { stop(); }

    // The browser the tests use; empty when there is none.
    static QString executable();

    // Starts the browser with `home` as its HOME, connects and opens a BiDi session.
    bool start(const QString& home);
    void stop();
    QString lastError() const { return m_error; }
    DevToolsClient* client() { return m_client.get(); }

    // Sends a command and waits for its answer (the result; empty on an error).
    QJsonObject call(const QString& method, const QJsonObject& params = {}, int timeoutMs = 30000);
    // The first top-level browsing context (the user's first tab).
    QString firstTab();
    // Loads `url` in `context` and waits until it has loaded.
    bool show(const QString& context, const QString& url);
    // A left click at (x, y) in the context's viewport, sent without waiting: the page may open
    // a window the browser's blocker lets through for a real click. With `shift`, a link opens
    // in a new window.
    void click(const QString& context, int x, int y, bool shift = false);

private:
    bool fail(const QString& why) {
        m_error = why;
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_profile;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<DevToolsClient> m_client;
    QString m_error;
};
