#pragma once

#include "app/Platform.h"
#include "platform/InstanceLock.h"
#include "platform/SettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingTray.h"

#include <QDir>
#include <QStandardPaths>
#include <memory>

// A platform made of test doubles, with a real settings file and instance lock in the test's own
// temporary home.
struct TestPlatform {
    explicit TestPlatform(double scale = 0.01)
        : clock(scale),
          settingsPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/pagewarden/Pagewarden 8.0.conf")),
          settings(std::make_unique<IniSettingsBackend>(settingsPath)),
          lock(LockFileInstanceLock::defaultPath()) {
        QDir().mkpath(dataFolder());
        platform.clock = &clock;
        platform.settings = settings.get();
        platform.messages = &messages;
        platform.beeper = &beeper;
        platform.busyPointer = &busy;
        platform.instanceLock = &lock;
        platform.startWithLogin = &autostart;
        platform.processExit = &processExit;
        platform.tray = &tray;
        platform.dataFolder = dataFolder();
        platform.executablePath = QStringLiteral("/opt/pagewarden/bin/pagewarden");
    }

    static QString dataFolder() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/pagewarden");
    }

    // Forgets everything stored, for a test that wants a very first start.
    void wipeSettings() {
        settings.reset();
        QFile::remove(settingsPath);
        settings = std::make_unique<IniSettingsBackend>(settingsPath);
        platform.settings = settings.get();
    }

    QString stored(const QString& key, const QString& def = QStringLiteral("<missing>")) {
        return settings->read(QStringLiteral("Options"), key, def)
            .value_or(QStringLiteral("<error>"));
    }
    void store(const QString& key, const QString& value) {
        settings->save(QStringLiteral("Options"), key, value);
    }

    TestClock clock;
    QString settingsPath;
    std::unique_ptr<IniSettingsBackend> settings;
    RecordingMessageBoxes messages;
    RecordingBeeper beeper;
    RecordingBusyPointer busy;
    LockFileInstanceLock lock; // the real one, in the test's own runtime folder
    MemoryStartWithLogin autostart;
    RecordingProcessExit processExit;
    RecordingTray tray;
    Platform platform;
};
