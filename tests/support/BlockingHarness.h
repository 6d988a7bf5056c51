#pragma once

#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/ProgramState.h"
#include "settings/SettingsStore.h"
#include "support/FakeBrowser.h"
#include "support/FakeLiveOptions.h"
#include "support/MemorySettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingBlockingView.h"

#include <QTemporaryDir>

// Everything blocking runs against, as doubles: the in-memory browser, the options, the shared
// state, a settings store in memory, the log in a temporary folder of its own, a fast clock with a
// fixed date and time, and recorders for boxes, beeps, the pointer and the main window.
struct BlockingHarness {
    explicit BlockingHarness(double scale = 0.01);
    // The same around another browser and clock (a real Chromium and the system clock, say); the
    // in-memory browser and the test clock then stand unused.
    BlockingHarness(BrowserWindows& windows, Clock& realClock);

    QTemporaryDir dir;
    TestClock clock;
    FakeBrowser browser;
    FakeLiveOptions options;
    ProgramState state;
    MemorySettingsBackend backend;
    SettingsStore settings{backend};
    BlockedLog log;
    RecordingMessageBoxes messages;
    RecordingBeeper beeper;
    RecordingBusyPointer pointer;
    RecordingBlockingView view;
    BlockingContext context;

    QString logPath() const { return dir.filePath(QStringLiteral("skipped_sites.txt")); }
    // The log file's bytes ("" when it does not exist).
    QByteArray logBytes() const;
    // The log's lines without their CR LF; fails the running test if a line lacks it.
    QStringList logLines() const;

private:
    BlockingHarness(BrowserWindows* windows, Clock* realClock, double scale);
};
