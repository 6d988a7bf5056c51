#pragma once

#include <QString>
#include <functional>

class Beeper;
class BrowserWindows;
class BusyPointer;
class Clock;
class InstanceLock;
class MessageBoxes;
class ProcessExit;
class SettingsBackend;
class StartWithLogin;
class TrayIcon;
class WebPageOpener;

// The platform pieces the program runs on. main() fills it with the real adapters; tests fill it
// with doubles. Nothing here is owned.
struct Platform {
    Clock* clock = nullptr;
    SettingsBackend* settings = nullptr;
    MessageBoxes* messages = nullptr;
    Beeper* beeper = nullptr;
    BusyPointer* busyPointer = nullptr;
    InstanceLock* instanceLock = nullptr;
    StartWithLogin* startWithLogin = nullptr;
    ProcessExit* processExit = nullptr;
    BrowserWindows* browser = nullptr; // none until a browser is guarded
    TrayIcon* tray = nullptr;          // the notification area; may be missing
    WebPageOpener* webPages = nullptr; // new browser windows for an address
    // The user's own browser, through the desktop; what it opens stays when the program ends.
    WebPageOpener* desktopPages = nullptr;
    // A file in the desktop's program for it, started in a working folder.
    std::function<bool(const QString& path, const QString& workingFolder)> openFile;

    // Starts guarding the browser. Called once the program knows it is the only instance.
    std::function<void()> startBrowser;
    // One line that says which browser is guarded, and its changes.
    std::function<QString()> browserStatus;

    QString dataFolder;     // stands in for the program's folder
    QString executablePath; // absolute path of the running executable
};
