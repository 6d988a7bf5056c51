#include "support/ChromiumProcess.h"

#include "platform/devtools/BrowserLauncher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <unistd.h>

ChromiumProcess::ChromiumProcess() = default;

ChromiumProcess::~ChromiumProcess() {
    stop();
}

QStringList ChromiumProcess::quietArguments() {
    QStringList args{QStringLiteral("--no-sandbox"),
                     QStringLiteral("--disable-gpu"),
                     QStringLiteral("--disable-quic"),
                     QStringLiteral("--no-first-run"),
                     QStringLiteral("--disable-background-networking"),
                     QStringLiteral("--disable-component-update"),
                     QStringLiteral("--disable-sync")};
    // Headless unless asked to show the windows on a display (for example under xvfb-run).
    if (!(qEnvironmentVariableIsSet("PAGEWARDEN_E2E_HEADFUL") &&
          !qEnvironmentVariableIsEmpty("DISPLAY")))
        args << QStringLiteral("--headless=new");
    return args;
}

QString ChromiumProcess::executable() {
    return BrowserLauncher::findExecutable(QString());
}

bool ChromiumProcess::start(const QStringList& extraArguments, quint16 port) {
    stop();
    const QString exe = executable();
    if (exe.isEmpty()) {
        m_error = QStringLiteral("no Chromium-family browser on PATH");
        return false;
    }
    if (!m_profile)
        m_profile = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                    QStringLiteral("/pagewarden-chromium-XXXXXX"));
    const QString activePort = m_profile->path() + QStringLiteral("/DevToolsActivePort");
    QFile::remove(activePort);
    QStringList args = quietArguments();
    args << QStringLiteral("--user-data-dir=") + m_profile->path()
         << QStringLiteral("--remote-debugging-address=127.0.0.1")
         << QStringLiteral("--remote-debugging-port=%1").arg(port) << extraArguments
         << QStringLiteral("about:blank");
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(exe);
    m_process->setArguments(args);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_process->start();
    if (!m_process->waitForStarted(10000)) {
        m_error = m_process->errorString();
        return false;
    }
    // The browser writes the port it took into its profile once it listens on a port of its
    // choice; on a given port we knock until it answers.
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() && port != 0) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(1000)) {
            m_port = port;
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) {
            m_error = QStringLiteral("the browser exited at once");
            return false;
        }
        QTest::qWait(100);
    }
    while (!deadline.hasExpired()) {
        QFile file(activePort);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray first = file.readLine().trimmed();
            bool ok = false;
            const uint value = first.toUInt(&ok);
            if (ok && value > 0 && value < 65536) {
                m_port = static_cast<quint16>(value);
                return true;
            }
        }
        if (m_process->state() == QProcess::NotRunning) {
            m_error = QStringLiteral("the browser exited at once");
            return false;
        }
        QTest::qWait(50);
    }
    m_error = QStringLiteral("the browser did not open its DevTools port");
    return false;
}

void ChromiumProcess::kill() {
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const qint64 browserPid = m_process->processId();
    ::kill(static_cast<pid_t>(browserPid), SIGKILL);
    m_process->waitForFinished(10000);
    // Its helpers follow on their own; make sure they do not linger past the test.
    ::kill(static_cast<pid_t>(-browserPid), SIGKILL);
}

void ChromiumProcess::stop() {
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        const qint64 browserPid = m_process->processId();
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        ::kill(static_cast<pid_t>(-browserPid), SIGKILL);
    }
    m_process.reset();
}

bool ChromiumProcess::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 ChromiumProcess::pid() const {
    return isRunning() ? m_process->processId() : 0;
}

QString ChromiumProcess::endpoint() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}
