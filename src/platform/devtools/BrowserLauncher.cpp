#include "platform/devtools/BrowserLauncher.h"

#include "platform/devtools/PipeTransport.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>
#include <vector>

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
    if (headless)
        args << QStringLiteral("--headless=new");
    for (const QString& arg : extra) {
        if (!args.contains(arg))
            args << arg;
    }
    return args;
}

namespace {

// The session of `user`: their home and name, and their own runtime folder and session bus when
// they have them; the folders root's variables point at are not theirs.
QProcessEnvironment environmentOf(const LaunchAccount& user) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* rootOnly : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS",
                                 "SUDO_USER", "SUDO_UID", "SUDO_GID", "SUDO_COMMAND", "PKEXEC_UID"})
        env.remove(QString::fromLatin1(rootOnly));
    env.insert(QStringLiteral("HOME"), user.home);
    env.insert(QStringLiteral("USER"), user.name);
    env.insert(QStringLiteral("LOGNAME"), user.name);
    const QString runtime = QStringLiteral("/run/user/%1").arg(user.uid);
    if (QFileInfo(runtime).isDir()) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        if (QFileInfo::exists(runtime + QStringLiteral("/bus")))
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus"));
    }
    const QString xauthority = user.home + QStringLiteral("/.Xauthority");
    if (!env.contains(QStringLiteral("XAUTHORITY")) && QFileInfo::exists(xauthority))
        env.insert(QStringLiteral("XAUTHORITY"), xauthority);
    return env;
}

} // namespace

PipeTransport* BrowserLauncher::start(const QString& executable, const QStringList& arguments,
                                      QString* error, const std::optional<LaunchAccount>& user) {
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
    // Another user's browser makes its profile itself, so that it is theirs.
    for (const QString& arg : arguments) {
        if (!user && arg.startsWith(QLatin1String("--user-data-dir=")))
            QDir().mkpath(arg.mid(16));
    }
    // The user's groups are looked up here: between fork and exec nothing may read files.
    const bool switchUser = user.has_value();
    const uid_t uid = user ? user->uid : 0;
    const gid_t gid = user ? user->gid : 0;
    std::vector<gid_t> groups(64);
    if (user) {
        const QByteArray name = user->name.toLocal8Bit();
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(name.constData(), gid, groups.data(), &count) < 0) {
            groups.resize(static_cast<size_t>(count));
            ::getgrouplist(name.constData(), gid, groups.data(), &count);
        }
        groups.resize(static_cast<size_t>(std::max(count, 0)));
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
    if (user)
        m_process->setProcessEnvironment(environmentOf(*user));
    // Runs in the child between fork and exec: only async-signal-safe calls. The ends are first
    // copied above 10 (close-on-exec) so that placing one on 3 cannot clobber the other, then
    // placed on 3 and 4 without close-on-exec. The browser gets a process group of its own so that
    // its helpers can be ended with it. A browser for another user drops root last, and never
    // runs if it cannot.
    m_process->setChildProcessModifier([childIn, childOut, switchUser, uid, gid, groups] {
        const int in = ::fcntl(childIn, F_DUPFD_CLOEXEC, 10);
        const int out = ::fcntl(childOut, F_DUPFD_CLOEXEC, 10);
        if (in < 0 || out < 0 || ::dup2(in, 3) < 0 || ::dup2(out, 4) < 0)
            ::_exit(127);
        ::setpgid(0, 0);
        if (switchUser && (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 ||
                           ::setuid(uid) != 0 || ::setuid(0) == 0))
            ::_exit(126);
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
