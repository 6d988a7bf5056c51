#include "app/Application.h"

#include "app/MainWindow.h"
#include "app/Platform.h"
#include "app/Startup.h"
#include "blocking/BlockingSession.h"
#include "platform/BrowserCollection.h"
#include "platform/BrowserRoutes.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "platform/ExitSignals.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/ProcessExit.h"
#include "platform/SettingsBackend.h"
#include "platform/StartWithLogin.h"
#include "platform/connector/ConnectorServer.h"
#include "platform/connector/ExtensionBrowser.h"
#include "platform/connector/HostManifests.h"
#include "platform/ui/GuiAdapters.h"
#include "platform/ui/TrayIcon.h"
#include "settings/ProductInfo.h"
#include "settings/SettingsStore.h"
#include "shell/ui/DesktopOpeners.h"
#include "wire/ConnectorSocket.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

namespace {
// How long, on the program's clock, a browser has after the start to be guarded by either route
// before launch_browser=auto starts one of our own.
constexpr int launchAfterMs = 5000;
} // namespace

int setupBrowsers(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString bridge = HostManifests::findBridge(QCoreApplication::applicationDirPath());
    const QList<HostManifests::Outcome> outcomes =
        bridge.isEmpty() ? QList<HostManifests::Outcome>()
                         : HostManifests::install(QDir::homePath(), bridge);
    std::fputs(qPrintable(HostManifests::report(
                   outcomes, bridge,
                   HostManifests::findExtension(QCoreApplication::applicationDirPath()))),
               stdout);
    const bool failed =
        bridge.isEmpty() || std::any_of(outcomes.begin(), outcomes.end(), [](auto& o) {
            return o.kind == HostManifests::Outcome::Kind::Failed;
        });
    return std::fflush(stdout) == 0 && !failed ? 0 : 1;
}

int runPagewarden(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pagewarden"));
    QApplication::setApplicationVersion(ProductInfo::programVersion());
    QApplication::setQuitOnLastWindowClosed(false);

    if (QStyleFactory::keys().contains(QStringLiteral("Fusion")))
        QApplication::setStyle(QStringLiteral("Fusion"));

    const QString title = ProductInfo::applicationTitle();
    // Developers and the program's own tests may run the clock faster (for example 0.02 turns the
    // 5-second start-up pauses into 0.1 s); users never need this.
    bool scaleOk = false;
    double scale = qEnvironmentVariable("PAGEWARDEN_CLOCK_SCALE").toDouble(&scaleOk);
    if (!scaleOk || scale <= 0 || scale > 100)
        scale = 1.0;
    SystemClock clock(scale);
    // A settings file that cannot be read is set aside before anything reads it; the start-up
    // tells the user once the window is up.
    const QString settingsNotice =
        SettingsStore::setAsideUnreadableFile(Paths::settingsFile(title));
    IniSettingsBackend settings(Paths::settingsFile(title));
    QtMessageBoxes messages;
    QtBeeper beeper;
    QtBusyPointer busyPointer;
    LockFileInstanceLock instanceLock(LockFileInstanceLock::defaultPath());
    XdgAutostart startWithLogin;
    ImmediateProcessExit processExit;

    Platform platform;
    platform.clock = &clock;
    platform.settings = &settings;
    platform.messages = &messages;
    platform.beeper = &beeper;
    platform.busyPointer = &busyPointer;
    platform.instanceLock = &instanceLock;
    platform.startWithLogin = &startWithLogin;
    platform.processExit = &processExit;
    platform.dataFolder = Paths::dataFolder();
    platform.executablePath = QApplication::applicationFilePath();

    // The guarded browsers: the DevTools one (found, or launched once we know we are the only
    // instance) and every browser whose extension connects. Blocking sees them as one collection.
    BrowserConnectionOptions options =
        BrowserConnectionOptions::fromSettings(settings, Paths::browserProfileFolder());
    const BrowserRoutes::Launch launch = BrowserRoutes::launchSetting(settings);
    BrowserRoutes::applyLaunch(launch, options);
    ChromiumBrowser browser(options);
    BrowserCollection guarded;
    guarded.addMember(&browser);
    ConnectorServer extensions(Wire::connectorSocketPath());
    const auto anyGuarded = [&browser, &extensions] {
        return browser.isGuarding() || !extensions.browsers().isEmpty();
    };
    LaunchGate launchGate(browser.connector(), anyGuarded);
    const auto status = [&browser, &extensions] {
        QStringList names;
        for (const ExtensionBrowser* member : extensions.browsers())
            names << member->browserName();
        return BrowserRoutes::statusLine(names, browser.status(), browser.isGuarding());
    };

    DesktopPageOpener desktopPages;
    GuardedPageOpener webPages(
        browser, [&browser] { return browser.canOpenPages(); }, &desktopPages);
    QtTrayIcon tray;
    platform.browser = &guarded;
    platform.tray = &tray;
    platform.webPages = &webPages;
    platform.desktopPages = &desktopPages;
    platform.openFile = openFileWithDesktop;
    platform.startBrowser = [&] {
        browser.start();
        if (launch == BrowserRoutes::Launch::Auto)
            launchGate.start(clock.timerInterval(launchAfterMs));
        if (!extensions.listen())
            std::fprintf(stderr, "pagewarden: no extension can connect: %s\n",
                         qPrintable(extensions.errorString()));
        // Cheap and idempotent: a moved or upgraded program re-points the browsers at its bridge.
        const QString bridge = HostManifests::findBridge(QApplication::applicationDirPath());
        if (!bridge.isEmpty())
            HostManifests::install(QDir::homePath(), bridge);
    };
    platform.browserStatus = status;

    // The exit command ends the process at once; a browser we launched is closed with us (as its
    // user would, so its next start offers no "Restore pages?"), and the lock is given back.
    processExit.atExit([&instanceLock, &browser] {
        browser.connector().endLaunchedBrowser();
        instanceLock.unlock();
    });

    Startup startup(platform);
    const auto showStatus = [&startup, status] {
        if (MainWindow* window = startup.mainWindow())
            window->showBrowserStatus(status());
    };
    QObject::connect(&browser, &ChromiumBrowser::statusChanged, &app, showStatus);

    // A window we open ourselves (Help, say) is the user's, never a new browser to close; so are
    // the windows a browser had before its extension reached us.
    const auto spare = [&startup, &guarded](const BrowserWindows* member, qint64 handle) {
        MainWindow* window = startup.mainWindow();
        if (const std::optional<qint64> ours = guarded.handleOf(member, handle); window && ours)
            window->session().spareWindow(*ours);
    };
    QObject::connect(&browser, &ChromiumBrowser::ownWindowOpened, &app,
                     [spare, &browser](qint64 handle) { spare(&browser, handle); });
    QObject::connect(&extensions, &ConnectorServer::browserConnected, &app,
                     [&guarded, spare, showStatus](ExtensionBrowser* member) {
                         guarded.addMember(member);
                         QObject::connect(member, &ExtensionBrowser::snapshotWindows, member,
                                          [spare, member](const QList<qint64>& handles) {
                                              for (const qint64 handle : handles)
                                                  spare(member, handle);
                                          });
                         showStatus();
                     });
    QObject::connect(&extensions, &ConnectorServer::browserDisconnected, &app,
                     [&guarded, showStatus](ExtensionBrowser* member) {
                         guarded.removeMember(member);
                         showStatus();
                     });

    // Logging out, SIGTERM and Ctrl+C leave through the exit command so nothing is lost.
    const auto leave = [&startup, &processExit] {
        if (MainWindow* window = startup.mainWindow())
            window->exitCommand();
        else
            processExit.exitNow(0);
    };
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &app, leave);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, leave);

    startup.notice = settingsNotice;
    if (!startup.Main())
        return 0;
    return app.exec();
}
