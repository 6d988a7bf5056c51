#include "platform/devtools/BrowserLauncher.h"

#include "platform/devtools/PipeTransport.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

const char* const candidates[] = {
    "chromium",       "chromium-browser",      "google-chrome", "google-chrome-stable",
    "microsoft-edge", "microsoft-edge-stable", "brave-browser"};

} // namespace

BrowserLauncher::BrowserLauncher(QObject* parent) : QObject(parent) {}

BrowserLauncher::~BrowserLauncher() {
    stop();
}

QString BrowserLauncher::findExecutable(const QString& configured) {
    const QString wanted = configured.trimmed();
    if (!wanted.isEmpty()) {
        const QFileInfo info(wanted);
        if (info.isAbsolute())
            return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
        return QStandardPaths::findExecutable(wanted);
    }
    for (const char* name : candidates) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString BrowserLauncher::productName(const QString& executable) {
    const QString base = QFileInfo(executable).fileName().toLower();
    if (base.contains(QLatin1String("edge")))
        return QStringLiteral("Microsoft Edge");
    if (base.contains(QLatin1String("brave")))
        return QStringLiteral("Brave");
    if (base.contains(QLatin1String("chrome")))
        return QStringLiteral("Google Chrome");
    return QStringLiteral("Chromium");
}

bool BrowserLauncher::displayAvailable() {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList BrowserLauncher::arguments(const QString& profileFolder, bool headless,
                                       const QStringList& extra) {
    QStringList args{QStringLiteral("--remote-debugging-pipe"),
                     QStringLiteral("--user-data-dir=") + profileFolder,
                     QStringLiteral("--no-first-run"),
                     QStringLiteral("--no-default-browser-check")};
    // Chromium refuses to start as root unless its sandbox is off.
    if (::geteuid() == 0)
        args << QStringLiteral("--no-sandbox");
    if (headless)
        args << QStringLiteral("--headless=new");
    for (const QString& arg : extra) {
        if (!args.contains(arg))
            args << arg;
    }
    return args;
}

PipeTransport* BrowserLauncher::start(const QString& executable, const QStringList& arguments,
                                      QString* error) {
    if (isRunning()) {
        if (error)
            *error = QStringLiteral("a browser is already running");
        return nullptr;
    }
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    for (const QString& arg : arguments) {
        if (arg.startsWith(QLatin1String("--user-data-dir=")))
            QDir().mkpath(arg.mid(16));
    }
    int toBrowser[2];   // we write [1]; the browser reads [0] as its descriptor 3
    int fromBrowser[2]; // the browser writes [1] as its descriptor 4; we read [0]
    if (::pipe2(toBrowser, O_CLOEXEC) != 0) {
        if (error)
            *error = QStringLiteral("cannot make a pipe");
        return nullptr;
    }
    if (::pipe2(fromBrowser, O_CLOEXEC) != 0) {
        ::close(toBrowser[0]);
        ::close(toBrowser[1]);
        if (error)
            *error = QStringLiteral("cannot make a pipe");
        return nullptr;
    }
    const int childIn = toBrowser[0];
    const int childOut = fromBrowser[1];

    m_process = new QProcess(this);
    m_process->setProgram(executable);
    m_process->setArguments(arguments);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    // Runs in the child between fork and exec: only async-signal-safe calls. The ends are first
    // copied above 10 (close-on-exec) so that placing one on 3 cannot clobber the other, then
    // placed on 3 and 4 without close-on-exec. The browser gets a process group of its own so that
    // its helpers can be ended with it.
    m_process->setChildProcessModifier([childIn, childOut] {
        const int in = ::fcntl(childIn, F_DUPFD_CLOEXEC, 10);
        const int out = ::fcntl(childOut, F_DUPFD_CLOEXEC, 10);
        if (in < 0 || out < 0 || ::dup2(in, 3) < 0 || ::dup2(out, 4) < 0)
            ::_exit(127);
        ::setpgid(0, 0);
    });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                if (!m_stopping)
                    emit exited(exitCode, status == QProcess::CrashExit);
            });
    m_stopping = false;
    m_process->start();
    ::close(childIn);
    ::close(childOut);
    if (!m_process->waitForStarted(10000)) {
        if (error)
            *error = m_process->errorString();
        ::close(toBrowser[1]);
        ::close(fromBrowser[0]);
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
        return nullptr;
    }
    qCDebug(lcDevTools) << "started" << executable << arguments << "as" << m_process->processId();
    return new PipeTransport(fromBrowser[0], toBrowser[1]);
}

bool BrowserLauncher::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 BrowserLauncher::processId() const {
    return isRunning() ? m_process->processId() : 0;
}

void BrowserLauncher::stop(int graceMs, bool askedToClose) {
    if (!m_process)
        return;
    m_stopping = true;
    if (m_process->state() != QProcess::NotRunning) {
        const qint64 pid = m_process->processId();
        bool gone = askedToClose && m_process->waitForFinished(graceMs);
        if (!gone) {
            m_process->terminate();
            gone = m_process->waitForFinished(graceMs);
        }
        if (!gone) {
            if (pid > 0)
                ::kill(static_cast<pid_t>(-pid), SIGKILL);
            m_process->kill();
            m_process->waitForFinished(2000);
        }
        // Helpers that outlived the browser (renderers notice on their own, but not at once).
        if (pid > 0)
            ::kill(static_cast<pid_t>(-pid), SIGKILL);
    }
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
}
