#pragma once

#include "platform/devtools/Endpoint.h"
#include "platform/devtools/LaunchUser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class BrowserLauncher;
class DevToolsClient;
class VersionProbe;
class SettingsBackend;

// How the guarded browser is reached.
struct BrowserConnectionOptions {
    // An endpoint of a browser started with --remote-debugging-port. Empty: try 127.0.0.1:9222 and
    // [::1]:9222 and launch a browser of our own when nothing answers there. Non-empty: that
    // browser only ("localhost" is either loopback address).
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
    // Who started Pagewarden, which decides who a launched browser runs as; unset: this process.
    std::optional<LaunchFacts> launchFacts;

    // Back-off between attempts after a failure or a lost browser.
    int firstRetryMs = 1000;
    int maxRetryMs = 30000;
    // A connection that lived this long starts the back-off afresh when it is lost.
    int stableAfterMs = 10000;
    // A browser that does not answer a heartbeat twice in a row is treated as hung.
    int heartbeatMs = 5000;
    // The whole time one endpoint gets to say who it is, however slowly it answers.
    int probeDeadlineMs = 3000;
    // How long a browser we launch gets to answer over its pipe, and to exit once it closed it.
    int launchTimeoutMs = 30000;

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
// A browser we launched that was closed by the user (its last window closed, by the user or by a
// pass that closes every window: a windowed Chromium ends with its last window) is started again
// only when asked (reconnect(), as opening a page does): starting it at once would bring back what
// was just closed, or loop with such a pass. Its profile tells that exit from one where it was
// ended (SIGTERM, the session ending for it alone), which is retried by itself like a crash, a
// kill or a hang.
class BrowserConnector : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,       // not started
        Connecting, // probing, attaching or launching
        Connected,  // client() is live
        Waiting,    // a failure; the next attempt is scheduled
        Refused,    // the configured endpoint is not allowed, or no browser may be launched
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

    // Ends a browser we launched the way its user would, so that its profile is left clean (no
    // "Restore pages?" at its next start): Browser.close, then up to `graceMs` for it to exit, and
    // a signal only when it does not. Blocks for that long at most; nothing is tried again after.
    void endLaunchedBrowser(int graceMs = 5000);
    // Milliseconds until the next attempt while Waiting.
    int retryDelayMs() const { return m_retryDelayMs; }

    // Drops the connection (a launched browser is stopped) and tries again after the back-off.
    void dropConnection(const QString& reason);

    // Tries at once (with the back-off started afresh) when Waiting or Closed; nothing otherwise.
    void reconnect();
    // Whether a browser of our own may be launched when no endpoint answers (from the next try).
    void setLaunch(bool launch) { m_options.launch = launch; }

signals:
    void connected(DevToolsClient* client);
    void disconnected();
    void statusChanged(const QString& status);
    void stateChanged(BrowserConnector::State state);

private:
    void attempt();
    void probeNext(const QString& whyNotTheLast);
    void attach(const DevToolsEndpoint& endpoint, const QString& browserPath);
    void launchBrowser(const QString& whyNotAttached);
    void handshake(DevToolsClient* candidate, bool launched, int timeoutMs,
                   std::function<QString(const QString& major)> guardingStatus);
    void launchedBrowserExited(int code, bool crashed);
    bool closedByTheUser() const;
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
    QPointer<VersionProbe> m_probe;
    QList<DevToolsEndpoint> m_candidates; // still to probe in this attempt
    QString m_refusal;                    // a listener of another user seen in this attempt
    BrowserLauncher* m_launcher = nullptr;
    QString m_launchProfile; // the profile of the browser we launched last
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
