#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class BrowserConnector;
class SettingsBackend;
struct BrowserConnectionOptions;

// Which browsers are guarded, and by which route: DevTools (a browser at an endpoint, or one we
// start) and the extension (each browser whose extension is connected).
namespace BrowserRoutes {

// [Advanced] launch_browser: when a browser of our own is started.
enum class Launch {
    Auto,   // only when, a while after the start, no browser is guarded by either route
    Never,  // never: endpoints and extensions only
    Always, // at once, without looking for an endpoint first
};

// The setting's value; anything unknown is the default, auto.
Launch launchSetting(SettingsBackend& settings);
// The connection options for that choice. Auto starts without launching; LaunchGate allows it.
void applyLaunch(Launch launch, BrowserConnectionOptions& options);

// The panel's status line. With no extension connected it is the DevTools route's own status;
// otherwise it names every guarded browser and its route: "Guarding Chromium 156 (extension) and
// Chromium 156 (started by Pagewarden)".
QString statusLine(const QStringList& extensionBrowsers, const QString& devToolsStatus,
                   bool devToolsGuarding);

} // namespace BrowserRoutes

// In auto mode: once `delayMs` have passed after start(), lets the connector launch a browser of
// our own when `guarded` says nothing is guarded yet; a browser that turns up later changes
// nothing.
class LaunchGate : public QObject {
    Q_OBJECT
public:
    LaunchGate(BrowserConnector& connector, std::function<bool()> guarded,
               QObject* parent = nullptr);
    void start(int delayMs);
    bool decided() const { return m_decided; }

signals:
    void launchAllowed();

private:
    BrowserConnector& m_connector;
    std::function<bool()> m_guarded;
    QTimer m_timer;
    bool m_decided = false;
};
