#include "app/Application.h"

#include "app/MainWindow.h"
#include "app/Platform.h"
#include "app/Startup.h"
#include "blocking/BlockingSession.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "platform/ExitSignals.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/ProcessExit.h"
#include "platform/SettingsBackend.h"
#include "platform/StartWithLogin.h"
#include "platform/ui/GuiAdapters.h"
#include "platform/ui/TrayIcon.h"
#include "settings/ProductInfo.h"
#include "settings/SettingsStore.h"
#include "shell/ui/DesktopOpeners.h"

#include <QApplication>
#include <QStyleFactory>

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

    // The guarded browser, found (or launched) once we know we are the only instance.
    ChromiumBrowser browser(
        BrowserConnectionOptions::fromSettings(settings, Paths::browserProfileFolder()));
    DesktopPageOpener desktopPages;
    GuardedPageOpener webPages(
        browser, [&browser] { return browser.canOpenPages(); }, &desktopPages);
    QtTrayIcon tray;
    platform.browser = &browser;
    platform.tray = &tray;
    platform.webPages = &webPages;
    platform.desktopPages = &desktopPages;
    platform.openFile = openFileWithDesktop;
    platform.startBrowser = [&browser] { browser.start(); };
    platform.browserStatus = [&browser] { return browser.status(); };

    // The exit command ends the process at once; a browser we launched is closed with us (as its
    // user would, so its next start offers no "Restore pages?"), and the lock is given back.
    processExit.atExit([&instanceLock, &browser] {
        browser.connector().endLaunchedBrowser();
        instanceLock.unlock();
    });

    Startup startup(platform);
    QObject::connect(&browser, &ChromiumBrowser::statusChanged, &app,
                     [&startup](const QString& status) {
                         if (MainWindow* window = startup.mainWindow())
                             window->showBrowserStatus(status);
                     });

    // A window we open ourselves (Help, say) is the user's, never a new browser to close.
    QObject::connect(&browser, &ChromiumBrowser::ownWindowOpened, &app, [&startup](qint64 handle) {
        if (MainWindow* window = startup.mainWindow())
            window->session().spareWindow(handle);
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
