#pragma once

#include "blocking/BlockingContext.h"
#include "blocking/SurveyPass.h"

#include <QTimer>

// Switches popup blocking on and off and keeps it running: StartBlocking and StopBlocking are the
// commands behind the start and stop buttons and the tray item, and BlockingCycle runs one survey
// pass after another until the window is hidden to the tray.
//
// Everything runs on the one UI thread. A cycle waits in nested event loops, so clicks, timers and
// the tray arrive inside it. There is never more than one cycle: a start while one runs asks that
// cycle to begin afresh (a new snapshot) and returns at once, so toggling blocking never stacks
// loops one inside another.
class BlockingController {
public:
    explicit BlockingController(const BlockingContext& context);
    ~BlockingController();
    BlockingController(const BlockingController&) = delete;
    BlockingController& operator=(const BlockingController&) = delete;

    // Writes the day's separator record on the first start of a day, resets the session's record
    // count, saves the program state and tells the view. With no cycle running it then runs one and
    // returns when that cycle ends (the window hid to the tray); with one running it asks that one
    // to start afresh and returns at once.
    void StartBlocking();
    // Holds the passes, closes the log, tells the view. Returns at once.
    void StopBlocking();
    // Snapshot, then passes until hidingToTray is set; then a fresh cycle is started about a second
    // later, with a fresh snapshot. Called while a cycle runs, it asks that one to start afresh.
    void BlockingCycle();
    // Records the browser windows open now (they are spared by "Kill new browsers") and their
    // addresses; the kill count starts again at 0.
    void SnapshotExistingWindows();
    // The waiting pass looks at the windows at once (an option changed).
    void forcePass();

    // Whether a cycle is running (possibly held by StopBlocking).
    bool cycleRunning() const { return m_depth > 0; }
    // The most cycles that were ever on the stack at once; 1 once blocking ran.
    int deepestNesting() const { return m_deepest; }
    // Cycles begun so far, fresh starts included.
    int cyclesBegun() const { return m_begun; }
    // Whether the restart after a hide is pending.
    bool restartPending() const { return m_restart.isActive(); }

    SurveyPass& surveyPass() { return m_pass; }

private:
    void runCycles();
    // Passes until the window hides to the tray or `over` says so; a fresh start asked meanwhile
    // takes a new snapshot first.
    void runPasses(SurveyPass& pass, const std::function<bool()>& over);
    // While a window of ours waits for an answer above a running cycle, passes run from inside
    // its wait; the pass stuck below gives up once it runs again.
    void blockWhileAnswering(const std::function<bool()>& answered);

    BlockingContext m_ctx;
    SurveyPass m_pass;
    QTimer m_restart;
    bool m_freshStartWanted = false;
    int m_depth = 0;
    int m_deepest = 0;
    int m_begun = 0;
    // Numbers the passes; a pass whose number is no longer the latest gives up.
    quint64 m_passSerial = 0;
};
