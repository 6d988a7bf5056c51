#pragma once

#include "blocking/BlockingContext.h"
#include "blocking/SurveyPass.h"

#include <QtGlobal>

// Switches popup blocking on and off and keeps it running: StartBlocking and StopBlocking are the
// commands behind the start and stop buttons and the tray item, and BlockingCycle runs one survey
// pass after another until the window is hidden to the tray.
//
// Everything runs on the one UI thread. StartBlocking does not return while its cycle runs; clicks,
// timers and the tray arrive nested inside the cycle's waits. Only one cycle runs passes at a time:
// every cycle that starts takes a new generation number, and a cycle (with its pass) that finds a
// newer generation after a wait gives up without touching another window.
class BlockingController {
public:
    explicit BlockingController(const BlockingContext& context);

    // Writes the day's separator record on the first start of a day, resets the session's record
    // count, saves the program state, switches the buttons and runs BlockingCycle. Returns when
    // that cycle ends (the window hid to the tray) or a newer cycle has replaced it.
    void StartBlocking();
    // Holds the passes, closes the log, switches the buttons. Returns at once.
    void StopBlocking();
    // Snapshot, then passes until hidingToTray is set; then Timer3 is enabled so that a fresh
    // cycle starts about a second later.
    void BlockingCycle();
    // Records the browser windows open now (they are spared by "Kill new browsers") and their
    // addresses; the kill count starts again at 0.
    void SnapshotExistingWindows();

    // The main window's control events.
    void onImage1Clicked();            // StartBlocking
    void onCommand5Clicked(int index); // 0: disable Command5(0), start; 1: disable, stop
    void onImage2Clicked();            // StopBlocking
    void onStopClicked();              // StopBlocking
    void onStopStartClicked();         // the tray menu's stop/start item
    void onKillAllBrowsersClicked();   // the next pass runs at once
    void onGoClicked();                // nothing
    void onTimer3Tick();               // disables Timer3, runs BlockingCycle

    // Whether a cycle is running (possibly held by StopBlocking).
    bool cycleRunning() const { return m_runningCycles > 0; }
    // Generation of the newest cycle; 0 before the first.
    quint64 cycleGeneration() const { return m_generation; }

    SurveyPass& surveyPass() { return m_pass; }

private:
    BlockingContext m_ctx;
    SurveyPass m_pass;
    quint64 m_generation = 0;
    int m_runningCycles = 0;
};
