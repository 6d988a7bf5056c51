#include "platform/BrowserRoutes.h"

#include "platform/SettingsBackend.h"
#include "platform/devtools/BrowserConnector.h"

namespace BrowserRoutes {

Launch launchSetting(SettingsBackend& settings) {
    const QString value =
        settings.read(QStringLiteral("Advanced"), QStringLiteral("launch_browser"), QString())
            .value_or(QString())
            .trimmed()
            .toLower();
    if (value == QLatin1String("never"))
        return Launch::Never;
    if (value == QLatin1String("always"))
        return Launch::Always;
    return Launch::Auto;
}

void applyLaunch(Launch launch, BrowserConnectionOptions& options) {
    options.launch = launch == Launch::Always;
    options.attach = launch != Launch::Always;
}

QString statusLine(const QStringList& extensionBrowsers, const QString& devToolsStatus,
                   bool devToolsGuarding) {
    if (extensionBrowsers.isEmpty())
        return devToolsStatus;
    QStringList parts;
    for (const QString& name : extensionBrowsers)
        parts << QStringLiteral("%1 (extension)").arg(name);
    const QString guarding = QStringLiteral("Guarding ");
    if (devToolsGuarding)
        parts << (devToolsStatus.startsWith(guarding) ? devToolsStatus.mid(guarding.size())
                                                      : devToolsStatus);
    const QString last = parts.takeLast();
    return guarding + (parts.isEmpty() ? last : parts.join(QStringLiteral(", ")) + " and " + last);
}

} // namespace BrowserRoutes

LaunchGate::LaunchGate(BrowserConnector& connector, std::function<bool()> guarded, QObject* parent)
    : QObject(parent), m_connector(connector), m_guarded(std::move(guarded)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_decided = true;
        if (m_guarded && m_guarded())
            return;
        m_connector.setLaunch(true);
        m_connector.reconnect();
        emit launchAllowed();
    });
}

void LaunchGate::start(int delayMs) {
    m_timer.start(delayMs);
}
