#include "platform/devtools/BrowserConnector.h"

#include "platform/SettingsBackend.h"
#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/PipeTransport.h"
#include "platform/devtools/VersionProbe.h"
#include "platform/devtools/WebSocketTransport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

// "HeadlessChrome/156.0.8078.129" → "156"
QString majorVersion(const QString& product) {
    const qsizetype slash = product.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    return product.mid(slash + 1).section(QLatin1Char('.'), 0, 0);
}

const int attachTimeoutMs = 10000;

} // namespace

BrowserConnectionOptions BrowserConnectionOptions::fromSettings(SettingsBackend& settings,
                                                                const QString& profileFolder) {
    BrowserConnectionOptions options;
    const QString section = QStringLiteral("Advanced");
    options.endpoint =
        settings.read(section, QStringLiteral("browser_endpoint"), QString()).value_or(QString());
    options.executable =
        settings.read(section, QStringLiteral("browser_executable"), QString()).value_or(QString());
    options.profileFolder = profileFolder;
    return options;
}

BrowserConnector::BrowserConnector(BrowserConnectionOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_launcher = new BrowserLauncher(this);
    connect(m_launcher, &BrowserLauncher::exited, this, &BrowserConnector::launchedBrowserExited);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &BrowserConnector::attempt);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &BrowserConnector::heartbeat);
}

BrowserConnector::~BrowserConnector() {
    endLaunchedBrowser();
    if (m_probe) {
        m_probe->disconnect(this);
        delete m_probe;
    }
    if (m_client) {
        m_client->disconnect(this);
        delete m_client;
    }
    m_launcher->disconnect(this);
    m_launcher->stop();
}

void BrowserConnector::endLaunchedBrowser(int graceMs) {
    m_retryTimer.stop();
    m_heartbeatTimer.stop();
    if (!m_launcher->isRunning())
        return;
    if (m_client && m_launchedConnection && m_client->isOpen())
        m_client->send(QStringLiteral("Browser.close"));
    else
        qCDebug(lcDevTools) << "the browser cannot be asked to close; ending it";
    m_launcher->stop(graceMs, m_client && m_launchedConnection);
}

void BrowserConnector::start() {
    if (m_state != State::Idle)
        return;
    m_retryDelayMs = m_options.firstRetryMs;
    attempt();
}

DevToolsClient* BrowserConnector::client() const {
    return m_state == State::Connected ? m_client.data() : nullptr;
}

qint64 BrowserConnector::browserProcessId() const {
    return m_launcher->processId();
}

void BrowserConnector::setState(State state, const QString& status) {
    const bool stateChange = state != m_state;
    const bool statusChange = status != m_status;
    m_state = state;
    m_status = status;
    if (stateChange)
        emit stateChanged(state);
    if (statusChange)
        emit statusChanged(status);
}

void BrowserConnector::attempt() {
    ++m_attemptSerial;
    QString error;
    m_candidates = DevToolsEndpoint::candidates(m_options.endpoint, &error);
    m_refusal.clear();
    if (m_candidates.isEmpty()) {
        // A wrong or foreign endpoint is a setting to fix, not a fault to retry.
        qCWarning(lcDevTools) << error;
        QString text = error;
        text[0] = text[0].toUpper();
        setState(State::Refused, text);
        return;
    }
    // After a failure the text stays as it is until something new is known.
    setState(State::Connecting, m_state == State::Waiting
                                    ? m_status
                                    : QStringLiteral("Looking for a browser to guard"));
    if (!m_options.attach && m_options.launch) {
        launchBrowser(QStringLiteral("attaching is off"));
        return;
    }
    probeNext(QString());
}

// Probes the next address of this attempt; after the last one, launches or waits.
void BrowserConnector::probeNext(const QString& whyNotTheLast) {
    if (m_candidates.isEmpty()) {
        const bool implicit = m_options.endpoint.trimmed().isEmpty();
        if (implicit && m_options.launch)
            launchBrowser(whyNotTheLast);
        else if (!m_refusal.isEmpty())
            scheduleRetry(m_refusal);
        else
            scheduleRetry(QStringLiteral("Waiting for the browser at %1")
                              .arg(DevToolsEndpoint::candidates(m_options.endpoint, nullptr)
                                       .first()
                                       .display()));
        return;
    }
    const DevToolsEndpoint endpoint = m_candidates.takeFirst();
    auto* probe = new VersionProbe(endpoint, m_options.probeDeadlineMs, this);
    m_probe = probe;
    const quint64 serial = m_attemptSerial;
    connect(probe, &VersionProbe::finished, this,
            [this, probe, endpoint, serial](const VersionProbe::Result& result) {
                probe->deleteLater();
                if (serial != m_attemptSerial)
                    return;
                if (!result.browserPath.isEmpty()) {
                    attach(endpoint, result.browserPath);
                    return;
                }
                QString why = QStringLiteral("nothing answered at %1").arg(endpoint.display());
                if (result.foreign) {
                    why = QStringLiteral("Refusing the browser at %1: %2")
                              .arg(endpoint.display(), result.error);
                    qCWarning(lcDevTools).noquote() << why;
                    m_refusal = why;
                    setState(State::Connecting, why);
                } else {
                    qCDebug(lcDevTools) << endpoint.display() << result.error;
                }
                probeNext(why);
            });
    probe->start();
}

void BrowserConnector::attach(const DevToolsEndpoint& endpoint, const QString& browserPath) {
    auto* transport = new WebSocketTransport;
    auto* candidate = new DevToolsClient(transport, this);
    m_client = candidate;
    m_launchedConnection = false;
    const QString where = endpoint.display();
    handshake(candidate, false, attachTimeoutMs, [where](const QString& major) {
        return major.isEmpty()
                   ? QStringLiteral("Guarding the browser at %1").arg(where)
                   : QStringLiteral("Guarding the browser at %1 (version %2)").arg(where, major);
    });
    // The port may have changed hands since the probe: look again once the socket is there.
    connect(transport, &DevToolsTransport::opened, this, [this, candidate, transport] {
        const QWebSocket& ws = transport->socket();
        if (candidate == m_client && peerOwner(ws.localAddress(), ws.localPort(), ws.peerAddress(),
                                               ws.peerPort()) != PeerOwner::Us)
            lost(QStringLiteral("the endpoint is not proven to be ours any more"));
    });
    transport->open(endpoint.webSocketUrl(browserPath));
}

// The same for both ways in: the connection counts once the browser has answered who it is.
void BrowserConnector::handshake(DevToolsClient* candidate, bool launched, int timeoutMs,
                                 std::function<QString(const QString& major)> guardingStatus) {
    const quint64 serial = m_attemptSerial;
    connect(candidate, &DevToolsClient::closed, this, [this, candidate](const QString& reason) {
        if (candidate != m_client)
            return;
        // The pipe closes as a browser of ours exits: its exit, when it comes, says how it ended
        // (launchedBrowserExited). Nothing waits for it meanwhile; a browser that stays on without
        // its pipe is given up after a while.
        if (m_launchedConnection && m_launcher->isRunning()) {
            const quint64 current = m_attemptSerial;
            QTimer::singleShot(m_options.launchTimeoutMs, this, [this, current, reason] {
                if (current == m_attemptSerial)
                    lost(reason);
            });
            return;
        }
        lost(reason);
    });
    connect(candidate, &DevToolsClient::opened, this,
            [this, candidate, launched, timeoutMs, guardingStatus] {
                candidate->send(
                    QStringLiteral("Browser.getVersion"), {}, {}, this,
                    [this, candidate, launched, guardingStatus](const DevToolsReply& reply) {
                        if (candidate != m_client)
                            return;
                        if (!reply.ok) {
                            // A pipe that closed is told by the browser's exit, when it comes.
                            if (!(launched && !candidate->isOpen()))
                                lost(reply.error);
                            return;
                        }
                        adopt(candidate,
                              guardingStatus(majorVersion(
                                  reply.result.value(QStringLiteral("product")).toString())),
                              launched);
                    },
                    timeoutMs);
            });
    QTimer::singleShot(timeoutMs + 1000, this, [this, candidate, serial] {
        if (candidate == m_client && serial == m_attemptSerial && !m_live)
            lost(QStringLiteral("the browser did not answer"));
    });
}

void BrowserConnector::launchBrowser(const QString& whyNotAttached) {
    const QString executable = BrowserLauncher::findExecutable(m_options.executable);
    if (executable.isEmpty()) {
        if (!m_options.executable.trimmed().isEmpty())
            scheduleRetry(QStringLiteral("Cannot find the browser \"%1\"; will try again")
                              .arg(m_options.executable.trimmed()));
        else
            scheduleRetry(QStringLiteral("No Chromium-family browser found; will try again"));
        return;
    }
    const LaunchPlan plan =
        planBrowserLaunch(m_options.launchFacts.value_or(LaunchFacts::current()),
                          AccountLookup::system(), m_options.profileFolder);
    if (!plan.launch) {
        // Nothing changes by trying again: the user has to start us differently.
        setState(State::Refused, plan.note);
        return;
    }
    qCDebug(lcDevTools) << whyNotAttached << "- launching" << executable << plan.note;
    const bool headless = m_options.headless.value_or(!BrowserLauncher::displayAvailable());
    m_launchProfile = plan.profileFolder;
    QString error;
    PipeTransport* transport =
        m_launcher->start(executable,
                          BrowserLauncher::arguments(plan.profileFolder, headless,
                                                     plan.flags + m_options.extraArguments),
                          &error, plan.user);
    const QString name = BrowserLauncher::productName(executable);
    const QString note = plan.note.isEmpty() ? QString() : QLatin1Char(' ') + plan.note;
    if (!transport) {
        scheduleRetry(QStringLiteral("Could not start %1 (%2); will try again").arg(name, error));
        return;
    }
    auto* candidate = new DevToolsClient(transport, this);
    m_client = candidate;
    m_launchedConnection = true;
    handshake(candidate, true, m_options.launchTimeoutMs, [name, note](const QString& major) {
        return QStringLiteral("Guarding %1%2 (started by Pagewarden)%3")
            .arg(name, major.isEmpty() ? QString() : QLatin1Char(' ') + major, note);
    });
}

void BrowserConnector::launchedBrowserExited(int code, bool crashed) {
    if (!m_launchedConnection && m_state != State::Connecting)
        return;
    if (!crashed && code == 0 && m_launchedConnection && m_state == State::Connected) {
        if (closedByTheUser()) {
            closedOnPurpose();
            return;
        }
        lost(QStringLiteral("it was ended, not closed by the user"));
        return;
    }
    lost(crashed ? QStringLiteral("the browser crashed or was killed")
                 : QStringLiteral("the browser exited (code %1)").arg(code));
}

// Chromium writes how it ended into the profile as it exits: "Normal" after its last window
// closed (or Browser.close), "SessionEnded" when a signal or the session's end stopped it.
bool BrowserConnector::closedByTheUser() const {
    QFile file(m_launchProfile + QStringLiteral("/Default/Preferences"));
    if (!file.open(QIODevice::ReadOnly))
        return true; // cannot tell: never start again what may have been closed on purpose
    const QJsonObject profile =
        QJsonDocument::fromJson(file.read(16 * 1024 * 1024)).object().value("profile").toObject();
    const QString exitType = profile.value(QStringLiteral("exit_type")).toString();
    qCDebug(lcDevTools) << "the browser we launched exited as" << exitType;
    return exitType.isEmpty() || exitType == QLatin1String("Normal");
}

void BrowserConnector::adopt(DevToolsClient* client, const QString& guardingStatus, bool launched) {
    m_live = true;
    m_launchedConnection = launched;
    m_missedHeartbeats = 0;
    m_heartbeatInFlight = false;
    m_connectedFor.start();
    if (m_options.heartbeatMs > 0)
        m_heartbeatTimer.start(m_options.heartbeatMs);
    setState(State::Connected, guardingStatus);
    emit connected(client);
}

// Stops listening to the current connection and lets it go; every later reply or event of it is
// ignored, since the attempt serial moves on.
void BrowserConnector::dropClient() {
    m_heartbeatTimer.stop();
    ++m_attemptSerial;
    if (m_client) {
        DevToolsClient* dropped = m_client;
        m_client = nullptr;
        dropped->disconnect(this);
        dropped->close();
        dropped->deleteLater();
    }
}

void BrowserConnector::lost(const QString& reason) {
    if (!m_client && m_state != State::Connecting)
        return;
    qCDebug(lcDevTools) << "lost the browser:" << reason;
    const bool wasConnected = m_state == State::Connected;
    const bool wasStable = wasConnected && m_connectedFor.isValid() &&
                           m_connectedFor.elapsed() >= m_options.stableAfterMs;
    dropClient();
    m_live = false;
    // A browser of ours that is still there but no longer talks to us is hung: end it so that a
    // fresh one can take its profile.
    if (m_launcher->isRunning())
        m_launcher->stop(1000);
    m_launchedConnection = false;
    if (wasStable)
        m_retryDelayMs = m_options.firstRetryMs;
    if (wasConnected) {
        // The mirror empties before anyone hears about the next attempt.
        m_state = State::Waiting;
        emit disconnected();
    }
    scheduleRetry(
        wasConnected
            ? QStringLiteral("Lost the browser (%1); trying again").arg(reason)
            : QStringLiteral("Could not reach the browser (%1); will try again").arg(reason));
}

void BrowserConnector::closedOnPurpose() {
    dropClient();
    m_live = false;
    m_launchedConnection = false;
    m_retryDelayMs = m_options.firstRetryMs;
    emit disconnected();
    setState(State::Closed, QStringLiteral("The browser was closed by the user; it starts again "
                                           "when Pagewarden opens a page"));
}

void BrowserConnector::reconnect() {
    if (m_state != State::Waiting && m_state != State::Closed)
        return;
    m_retryTimer.stop();
    m_retryDelayMs = m_options.firstRetryMs;
    attempt();
}

void BrowserConnector::scheduleRetry(const QString& status) {
    const int delay = m_retryDelayMs > 0 ? m_retryDelayMs : m_options.firstRetryMs;
    m_retryDelayMs = qMin(delay * 2, m_options.maxRetryMs);
    m_retryTimer.start(delay);
    setState(State::Waiting, status);
}

void BrowserConnector::dropConnection(const QString& reason) {
    if (m_state == State::Connected || m_client)
        lost(reason);
}

void BrowserConnector::heartbeat() {
    DevToolsClient* live = this->client();
    if (!live || m_heartbeatInFlight)
        return;
    m_heartbeatInFlight = true;
    live->send(
        QStringLiteral("Browser.getVersion"), {}, {}, this,
        [this, live](const DevToolsReply& reply) {
            if (live != m_client)
                return;
            m_heartbeatInFlight = false;
            if (reply.ok) {
                m_missedHeartbeats = 0;
                return;
            }
            if (++m_missedHeartbeats >= 2)
                dropConnection(QStringLiteral("the browser stopped answering"));
        },
        m_options.heartbeatMs);
}
