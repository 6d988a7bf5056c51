#pragma once

#include "platform/devtools/LaunchUser.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

class PipeTransport;

// Starts a Chromium-family browser with a DevTools pipe on its descriptors 3 and 4, so that no
// TCP port is opened, and stops it again.
class BrowserLauncher : public QObject {
    Q_OBJECT
public:
    explicit BrowserLauncher(QObject* parent = nullptr);
    ~BrowserLauncher() override; // stops the browser if it still runs

    // The browser to start: `configured` when it names an executable (a path or a name on PATH),
    // else the first Chromium-family browser on PATH. Empty when there is none.
    static QString findExecutable(const QString& configured);

    // A short name for the status line ("Chromium", "Google Chrome" …), from the executable.
    static QString productName(const QString& executable);

    // The arguments a browser of ours gets, before `extra`.
    static QStringList arguments(const QString& profileFolder, bool headless,
                                 const QStringList& extra);

    // Whether this session has a display to show a browser on.
    static bool displayAvailable();

    // Starts the browser, as `user` when one is given (its groups, home and session; we must be
    // root for that). On success returns the transport (owned by the caller); on failure nullptr
    // with `error` set. Only one browser at a time.
    PipeTransport* start(const QString& executable, const QStringList& arguments, QString* error,
                         const std::optional<LaunchAccount>& user = std::nullopt);

    bool isRunning() const;
    qint64 processId() const;

    // Ends the browser: SIGTERM, then after `graceMs` SIGKILL for its whole process group. Waits
    // at most graceMs + a little; used when the browser hangs and when we shut down. When it was
    // `askedToClose` already, it first gets `graceMs` to exit by itself before any signal.
    void stop(int graceMs = 3000, bool askedToClose = false);

signals:
    // The browser ended by itself (crash, kill, or the user closed it).
    void exited(int exitCode, bool crashed);

private:
    QProcess* m_process = nullptr;
    bool m_stopping = false;
};
