#pragma once

#include <QString>

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

    QString dataFolder;     // stands in for the program's folder
    QString executablePath; // absolute path of the running executable
};
