#pragma once

#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "hijack/RedirectPass.h"
#include "settings/SettingsStore.h"
#include "support/FakeBrowser.h"
#include "support/FakeLiveOptions.h"
#include "support/MemorySettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingBlockingView.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

// Everything blocking runs against, as doubles: the in-memory browser, the options, the shared
// state, a settings store in memory, the log in a temporary folder of its own, a fast clock with a
// fixed date and time, and recorders for boxes, beeps, the pointer and the main window; and the
// program's own survey pass, redirect pass and blocking cycle on them, counting their delays.
struct BlockingHarness {
    explicit BlockingHarness(double scale = 0.01) : BlockingHarness(nullptr, nullptr, scale) {}
    // The same around another browser and clock (a real Chromium and the system clock, say); the
    // in-memory browser and the test clock then stand unused.
    BlockingHarness(BrowserWindows& windows, Clock& realClock)
        : BlockingHarness(&windows, &realClock, 1.0) {}

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
    SurveyPass pass{context};
    RedirectPass redirect{context};
    BlockingController controller{context};
    int delays = 0; // spent by the passes above

    // The date and time every record of the test clock ends with.
    static inline const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");

    // One survey pass that does not wait for a change of the window count.
    SurveyPass::Outcome forcedPass() {
        state.forcePass = true;
        return pass.run();
    }
    // Runs `what` after `ms` real milliseconds, from the event loop of whatever waits then.
    void at(int ms, std::function<void()> what) {
        QTimer::singleShot(ms, &browser, std::move(what));
    }
    // What the window's hide handler does to the flags: the running cycle ends.
    void hide() {
        state.hidingToTray = true;
        state.blockingStopped = false;
    }

    QString logPath() const { return dir.filePath(QStringLiteral("skipped_sites.txt")); }
    // The log's lines, read as UTF-8, without their CR LF (an unterminated last line is left out).
    QStringList logLines() const {
        QFile f(logPath());
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
        lines.removeLast(); // what follows the last CR LF: nothing in a well-formed log
        return lines;
    }

private:
    BlockingHarness(BrowserWindows* windows, Clock* realClock, double scale)
        : clock(scale), log(logPath(), realClock ? *realClock : clock, state),
          context{windows ? *windows : browser,    options,  state,  settings, log,
                  realClock ? *realClock : clock,  messages, beeper, pointer,  view,
                  QStringLiteral("Pagewarden 8.0")} {
        clock.date = QStringLiteral("12/4/2026");
        clock.time = QStringLiteral("10:17:46 PM");
        for (SurveyPass* p : {&pass, &controller.surveyPass()})
            p->setDelayObserver([this](double) { ++delays; });
        redirect.delayObserver = [this](double) { ++delays; };
    }
};
