#pragma once

#include "blocking/HijackCheck.h"

#include <functional>

class BrowserWindows;
class Clock;
class LiveOptions;
struct BlockingContext;
struct ProgramState;

// The periodic redirect: every two seconds while blocking runs with the window hidden to the tray,
// every window that shows a page gets the hijack check, so a page that a hijacker puts into a
// window that was open all along (the window count does not change, so no survey pass runs) is
// sent home all the same.
//
// The pass has its own guard counter for its waits. It runs on the UI thread and its waits let
// events run, so a tick may arrive while a pass still waits: such a tick is skipped.
class RedirectPass {
public:
    enum class Outcome {
        Skipped,        // blocking is stopped: nothing was touched
        Walked,         // every window was checked
        AlreadyRunning, // a pass was still waiting; this one did not start
    };

    explicit RedirectPass(const BlockingContext& context);

    Outcome run();
    bool running() const { return m_running; }

    // Called at the start of every delay with its length; for measurements and tests.
    std::function<void(double seconds)> delayObserver;

private:
    BrowserWindows& m_browser;
    const Clock& m_clock;
    const LiveOptions& m_options;
    ProgramState& m_state;
    HijackCheck m_check;
    bool m_running = false;
};
