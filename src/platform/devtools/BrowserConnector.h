#pragma once

#include "platform/devtools/Endpoint.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

class BrowserLauncher;
class DevToolsClient;
class QNetworkAccessManager;
class QNetworkReply;
class SettingsBackend;

// How the guarded browser is reached.
struct BrowserConnectionOptions {
    // An endpoint of a browser started with --remote-debugging-port. Empty: try 127.0.0.1:9222
    // and launch a browser of our own when nothing answers there. Non-empty: that browser only.
    QString endpoint;
    // The browser to launch: a path or a name on PATH; empty = the first Chromium-family browser.
    QString executable;
    // The profile a launched browser keeps (its own, never the user's everyday profile).
    QString profileFolder;
    // Whether a launched browser runs without windows; unset = when there is no display.
    std::optional<bool> headless;
    // More arguments for a launched browser.
    QStringList extraArguments;
    // Launch a browser when no endpoint answers (only with an empty `endpoint`).
    bool launch = true;
    // Look for a running browser at the endpoint first. Off: launch straight away.
    bool attach = true;

    // Back-off between attempts after a failure or a lost browser.
    int firstRetryMs = 1000;
    int maxRetryMs = 30000;
    // A connection that lived this long starts the back-off afresh when it is lost.
    int stableAfterMs = 10000;
    // A browser that does not answer a heartbeat twice in a row is treated as hung.
    int heartbeatMs = 5000;

    // browser_endpoint and browser_executable of the "Advanced" section; the profile folder is
    // given by the caller (the program's data folder).
    static BrowserConnectionOptions fromSettings(SettingsBackend& settings,
                                                 const QString& profileFolder);
};

// Finds the browser to guard, connects to it and keeps it connected: attaches to a DevTools
// endpoint on a loopback address, or launches a browser over a pipe, and when the browser dies,
// hangs or closes the connection, tries again with back-off (1 s doubling to 30 s by default).
// The state is told as a one-line status for the main window.
//
// A browser we launched that ends normally was closed on purpose: the user closed its last
// window, a pass closed every window (a windowed Chromium ends with its last window), or the
// desktop session is ending. Starting it again at once would bring back what was just closed, or
// loop with a pass that closes every window, so it is started again only when asked
// (reconnect(), as opening a page does). A crash, a kill or a hang is retried by itself.
class BrowserConnector : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,       // not started
        Connecting, // probing, attaching or launching
        Connected,  // client() is live
        Waiting,    // a failure; the next attempt is scheduled
        Refused,    // the configured endpoint is not allowed; nothing more is tried
        Closed,     // the browser we launched was closed (not crashed); see reconnect()
    };
    Q_ENUM(State)

    explicit BrowserConnector(BrowserConnectionOptions options, QObject* parent = nullptr);
    ~BrowserConnector() override; // a browser we launched is stopped with us

    void start();

    State state() const { return m_state; }
    QString status() const { return m_status; }
    // The live client while connected, else nullptr.
    DevToolsClient* client() const;
    // True while the connection is to a browser we launched.
    bool launched() const { return m_launchedConnection; }
    // The launched browser's process id (0 when we attached or nothing runs).
    qint64 browserProcessId() const;
    // Milliseconds until the next attempt while Waiting.
    int retryDelayMs() const { return m_retryDelayMs; }

    // Drops the connection (a launched browser is stopped) and tries again after the back-off.
    void dropConnection(const QString& reason);

    // Tries at once (with the back-off started afresh) when Waiting or Closed; nothing otherwise.
    void reconnect();

signals:
    void connected(DevToolsClient* client);
    void disconnected();
    void statusChanged(const QString& status);
    void stateChanged(BrowserConnector::State state);

private:
    void attempt();
    void probeEndpoint(const DevToolsEndpoint& endpoint, bool implicit);
    void attach(const DevToolsEndpoint& endpoint, const QString& browserPath,
                const QString& product);
    void launchBrowser(const QString& whyNotAttached);
    void adopt(DevToolsClient* client, const QString& guardingStatus, bool launched);
    void dropClient();
    void lost(const QString& reason);
    void closedOnPurpose();
    void scheduleRetry(const QString& status);
    void heartbeat();
    void setState(State state, const QString& status);

    BrowserConnectionOptions m_options;
    State m_state = State::Idle;
    QString m_status;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_probe;
    BrowserLauncher* m_launcher = nullptr;
    QPointer<DevToolsClient> m_client;
    bool m_launchedConnection = false;
    bool m_live = false; // m_client answered its first request
    QTimer m_retryTimer;
    QTimer m_heartbeatTimer;
    int m_retryDelayMs = 0;
    int m_missedHeartbeats = 0;
    bool m_heartbeatInFlight = false;
    QElapsedTimer m_connectedFor;
    quint64 m_attemptSerial = 0;
};
