#include "platform/devtools/BrowserConnector.h"

#include "platform/SettingsBackend.h"
#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/PipeTransport.h"
#include "platform/devtools/WebSocketTransport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

// "HeadlessChrome/156.0.8078.129" → "156"
QString majorVersion(const QString& product) {
    const qsizetype slash = product.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    return product.mid(slash + 1).section(QLatin1Char('.'), 0, 0);
}

const int probeTimeoutMs = 2000;
const int attachTimeoutMs = 10000;
const int launchTimeoutMs = 30000;

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
    m_network = new QNetworkAccessManager(this);
    // Loopback only: a proxy from the environment must never carry these requests elsewhere.
    m_network->setProxy(QNetworkProxy::NoProxy);
    m_launcher = new BrowserLauncher(this);
    connect(m_launcher, &BrowserLauncher::exited, this, [this](int code, bool crashed) {
        if (!crashed && code == 0 && m_launchedConnection && m_state == State::Connected) {
            closedOnPurpose();
            return;
        }
        if (m_launchedConnection || m_state == State::Connecting)
            lost(crashed ? QStringLiteral("the browser crashed or was killed")
                         : QStringLiteral("the browser exited (code %1)").arg(code));
    });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &BrowserConnector::attempt);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &BrowserConnector::heartbeat);
}

BrowserConnector::~BrowserConnector() {
    m_retryTimer.stop();
    m_heartbeatTimer.stop();
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->abort();
    }
    if (m_client) {
        m_client->disconnect(this);
        delete m_client;
    }
    m_launcher->disconnect(this);
    m_launcher->stop();
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
    const auto endpoint = DevToolsEndpoint::parse(m_options.endpoint, &error);
    if (!endpoint) {
        // A wrong or foreign endpoint is a setting to fix, not a fault to retry.
        qCWarning(lcDevTools) << error;
        QString text = error;
        text[0] = text[0].toUpper();
        setState(State::Refused, text);
        return;
    }
    const bool implicit = m_options.endpoint.trimmed().isEmpty();
    // After a failure the text stays as it is until something new is known.
    setState(State::Connecting, m_state == State::Waiting
                                    ? m_status
                                    : QStringLiteral("Looking for a browser to guard"));
    if (!m_options.attach && m_options.launch) {
        launchBrowser(QStringLiteral("attaching is off"));
        return;
    }
    probeEndpoint(*endpoint, implicit);
}

void BrowserConnector::probeEndpoint(const DevToolsEndpoint& endpoint, bool implicit) {
    QNetworkRequest request(endpoint.versionUrl());
    request.setTransferTimeout(probeTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    m_probe = reply;
    const quint64 serial = m_attemptSerial;
    connect(reply, &QNetworkReply::finished, this, [this, reply, endpoint, implicit, serial] {
        reply->deleteLater();
        if (serial != m_attemptSerial)
            return;
        QString browserPath;
        QString product;
        if (reply->error() == QNetworkReply::NoError) {
            const QByteArray body = reply->read(1024 * 1024);
            const QJsonObject info = QJsonDocument::fromJson(body).object();
            const QUrl ws(info.value(QStringLiteral("webSocketDebuggerUrl")).toString());
            if (ws.isValid() && ws.path().startsWith(QLatin1String("/devtools/browser/")))
                browserPath = ws.path();
            product = info.value(QStringLiteral("Browser")).toString();
        }
        if (!browserPath.isEmpty()) {
            attach(endpoint, browserPath, product);
        } else if (implicit && m_options.launch) {
            launchBrowser(QStringLiteral("nothing answered at %1").arg(endpoint.display()));
        } else {
            scheduleRetry(QStringLiteral("Waiting for the browser at %1").arg(endpoint.display()));
        }
    });
}

void BrowserConnector::attach(const DevToolsEndpoint& endpoint, const QString& browserPath,
                              const QString& product) {
    auto* transport = new WebSocketTransport;
    auto* candidate = new DevToolsClient(transport, this);
    m_client = candidate;
    m_launchedConnection = false;
    const quint64 serial = m_attemptSerial;
    const QString where = endpoint.display();
    connect(candidate, &DevToolsClient::closed, this, [this, candidate](const QString& reason) {
        if (candidate == m_client)
            lost(reason);
    });
    connect(candidate, &DevToolsClient::opened, this, [this, candidate, where, product] {
        candidate->send(
            QStringLiteral("Browser.getVersion"), {}, {}, this,
            [this, candidate, where, product](const DevToolsReply& reply) {
                if (candidate != m_client)
                    return;
                if (!reply.ok) {
                    lost(reply.error);
                    return;
                }
                const QString major =
                    majorVersion(reply.result.value(QStringLiteral("product")).toString());
                Q_UNUSED(product);
                adopt(candidate,
                      major.isEmpty() ? QStringLiteral("Guarding the browser at %1").arg(where)
                                      : QStringLiteral("Guarding the browser at %1 (version %2)")
                                            .arg(where, major),
                      false);
            },
            attachTimeoutMs);
    });
    QTimer::singleShot(attachTimeoutMs + 1000, this, [this, candidate, serial] {
        if (candidate == m_client && serial == m_attemptSerial && !m_live)
            lost(QStringLiteral("the browser did not answer"));
    });
    transport->open(endpoint.webSocketUrl(browserPath));
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
    qCDebug(lcDevTools) << whyNotAttached << "- launching" << executable;
    const bool headless = m_options.headless.value_or(!BrowserLauncher::displayAvailable());
    QString error;
    PipeTransport* transport = m_launcher->start(
        executable,
        BrowserLauncher::arguments(m_options.profileFolder, headless, m_options.extraArguments),
        &error);
    const QString name = BrowserLauncher::productName(executable);
    if (!transport) {
        scheduleRetry(QStringLiteral("Could not start %1 (%2); will try again").arg(name, error));
        return;
    }
    auto* candidate = new DevToolsClient(transport, this);
    m_client = candidate;
    m_launchedConnection = true;
    connect(candidate, &DevToolsClient::closed, this, [this, candidate](const QString& reason) {
        if (candidate == m_client)
            lost(reason);
    });
    connect(candidate, &DevToolsClient::opened, this, [this, candidate, name] {
        candidate->send(
            QStringLiteral("Browser.getVersion"), {}, {}, this,
            [this, candidate, name](const DevToolsReply& reply) {
                if (candidate != m_client)
                    return;
                if (!reply.ok) {
                    lost(reply.error);
                    return;
                }
                const QString major =
                    majorVersion(reply.result.value(QStringLiteral("product")).toString());
                adopt(candidate,
                      QStringLiteral("Guarding %1%2 (started by Pagewarden)")
                          .arg(name, major.isEmpty() ? QString() : QLatin1Char(' ') + major),
                      true);
            },
            launchTimeoutMs);
    });
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
    setState(
        State::Closed,
        QStringLiteral("The browser was closed; it starts again when Pagewarden opens a page"));
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
