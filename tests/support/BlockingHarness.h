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
#include <utility>

// The log file's bytes ("" when it does not exist).
QByteArray readLogFile(const QString& path);
// The log's lines without their CR LF; fails the running test if a line lacks it.
QStringList logFileLines(const QByteArray& bytes);

// Everything blocking runs against, as doubles, around one browser: the options, the shared
// state, a settings store in memory, the log in a temporary folder of its own, a fast clock with a
// fixed date and time, and recorders for boxes, beeps, the pointer and the panel. `Browser` is any
// BrowserWindows: the in-memory FakeBrowser, or a real adapter made from `browserArgs`.
template <typename Browser> struct BlockingRig {
    template <typename... Args>
    explicit BlockingRig(double scale = 0.01, Args&&... browserArgs)
        : clock(scale), browser(std::forward<Args>(browserArgs)...),
          log(dir.filePath(QStringLiteral("skipped_sites.txt")), clock, state),
          context{browser,
                  options,
                  state,
                  settings,
                  log,
                  clock,
                  messages,
                  beeper,
                  pointer,
                  view,
                  QStringLiteral("Pagewarden 8.0")} {
        clock.date = QStringLiteral("12/4/2026");
        clock.time = QStringLiteral("10:17:46 PM");
    }

    QTemporaryDir dir;
    TestClock clock;
    Browser browser;
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
    QByteArray logBytes() const { return readLogFile(logPath()); }
    QStringList logLines() const { return logFileLines(logBytes()); }
};

using BlockingHarness = BlockingRig<FakeBrowser>;
