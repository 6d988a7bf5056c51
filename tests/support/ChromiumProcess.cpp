#include "support/ChromiumProcess.h"

#include "platform/devtools/BrowserLauncher.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>
#include <unistd.h>

QStringList ChromiumProcess::quietArguments() {
    QStringList args = QStringLiteral("--no-sandbox --disable-gpu --disable-quic --no-first-run "
                                      "--disable-sync --disable-background-networking "
                                      "--disable-component-update")
                           .split(' ');
    if (!(qEnvironmentVariableIsSet("PAGEWARDEN_E2E_HEADFUL") &&
          !qEnvironmentVariableIsEmpty("DISPLAY")))
        args << QStringLiteral("--headless=new");
    return args;
}

QString ChromiumProcess::executable() {
    return BrowserLauncher::findExecutable(QString());
}

bool ChromiumProcess::fail(const QString& why) {
    m_error = why;
    return false;
}

QString ChromiumProcess::profile() {
    if (!m_profile)
        m_profile =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + "/pagewarden-chromium-XXXXXX");
    return m_profile->path();
}

bool ChromiumProcess::start(const QStringList& extraArguments, quint16 port) {
    stop();
    if (executable().isEmpty())
        return fail(QStringLiteral("no Chromium-family browser on PATH"));
    const QString activePort = profile() + QStringLiteral("/DevToolsActivePort");
    QFile::remove(activePort);
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(executable());
    m_process->setArguments(quietArguments()
                            << "--user-data-dir=" + m_profile->path()
                            << "--remote-debugging-address=127.0.0.1"
                            << QStringLiteral("--remote-debugging-port=%1").arg(port)
                            << extraArguments << "about:blank");
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); }); // its helpers go with it
    m_process->start();
    if (!m_process->waitForStarted(10000))
        return fail(m_process->errorString());
    // On a port of its choice the browser writes the port it took into its profile; on a given
    // port we knock until it answers.
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (port != 0) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(1000)) {
                m_port = port;
                return true;
            }
        } else if (QFile file(activePort); file.open(QIODevice::ReadOnly)) {
            const uint value = file.readLine().trimmed().toUInt();
            if (value > 0 && value < 65536) {
                m_port = static_cast<quint16>(value);
                return true;
            }
        }
        if (m_process->state() == QProcess::NotRunning)
            return fail(QStringLiteral("the browser exited at once"));
        QTest::qWait(50);
    }
    return fail(QStringLiteral("the browser did not open its DevTools port"));
}

void ChromiumProcess::end(bool politely) {
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const qint64 browserPid = m_process->processId();
    if (politely)
        m_process->terminate();
    if (!politely || !m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(10000);
    }
    // Its helpers follow on their own; make sure they do not linger past the test.
    ::kill(static_cast<pid_t>(-browserPid), SIGKILL);
}
