#pragma once

#include "app/Platform.h"
#include "platform/InstanceLock.h"
#include "platform/SettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingTray.h"

#include <QDir>
#include <QStandardPaths>
#include <memory>

// A platform made of test doubles, with a real settings file (a fresh one: every test starts as a
// very first start) and the real instance lock, both in the test's own temporary home.
struct TestPlatform {
    explicit TestPlatform(double scale = 0.01)
        : clock(scale), lock(LockFileInstanceLock::defaultPath()) {
        QFile::remove(settingsPath);
        settings = std::make_unique<IniSettingsBackend>(settingsPath);
        platform.settings = settings.get();
        QDir().mkpath(dataFolder());
        platform.clock = &clock;
        platform.messages = &messages;
        platform.beeper = &beeper;
        platform.busyPointer = &busy;
        platform.instanceLock = &lock;
        platform.startWithLogin = &autostart;
        platform.processExit = &processExit;
        platform.tray = &tray;
        platform.dataFolder = dataFolder();
        platform.executablePath = "/opt/pagewarden/bin/pagewarden";
    }
    static QString dataFolder() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               "/pagewarden";
    }
    QString stored(const QString& key, const QString& def = "<missing>") {
        return settings->read("Options", key, def).value_or("<error>");
    }
    void store(const QString& key, const QString& value) { settings->save("Options", key, value); }

    TestClock clock;
    QString settingsPath = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           "/pagewarden/Pagewarden 8.0.conf";
    std::unique_ptr<IniSettingsBackend> settings;
    RecordingMessageBoxes messages;
    RecordingBeeper beeper;
    RecordingBusyPointer busy;
    LockFileInstanceLock lock;
    MemoryStartWithLogin autostart;
    RecordingProcessExit processExit;
    RecordingTray tray;
    Platform platform;
};
