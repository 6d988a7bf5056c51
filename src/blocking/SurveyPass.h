#pragma once

#include "allow/SiteMatcher.h"
#include "blocking/BlockingContext.h"
#include "blocking/HijackCheck.h"
#include "blocking/KillDelay.h"
#include "platform/BrowserWindows.h"

#include <QObject>
#include <functional>
#include <memory>

// One walk over every browser window: popups (script-opened windows without a menu bar) are closed,
// new browser windows too when the user asked for that, and every window with a page gets the
// hijack check. Before walking, a pass waits until a window has opened or closed since the previous
// pass counted them (or until it is forced, or the window is being hidden to the tray), holds while
// blocking is stopped, and waits one delay.
class SurveyPass {
public:
    enum class Outcome {
        Skipped, // "Kill popups" is off: the pass returned at once
        Walked,  // the windows were walked
        GivenUp, // a newer blocking cycle took over while this pass waited; it stopped there
    };

    explicit SurveyPass(const BlockingContext& context);

    // Runs one pass. `stillWanted` is asked after every point where events ran; once it says no,
    // the pass touches no further window. Empty = always wanted.
    Outcome run(const std::function<bool()>& stillWanted = {});

    // Called at the start of every delay of every pass with its length; for measurements and tests.
    void setDelayObserver(std::function<void(double seconds)> observer) {
        m_delayObserver = std::move(observer);
    }

private:
    bool waitForChange(const std::function<bool()>& stillWanted);
    bool holdWhileStopped(const std::function<bool()>& stillWanted);
    // Both rules for one window; false when the pass should stop.
    bool examine(WindowKey window, KillDelay& delay);
    // The allowed sites leave this window alone (never a page the hijack list names).
    bool spared(WindowKey window);
    // "Kill new browsers" or "Kill all browser windows" wants this window closed.
    bool newBrowserRuleHolds(WindowKey window);
    // Logs and closes the window (unless the log viewer is open), waits one delay and counts it;
    // false when the pass should stop.
    bool closeAndCount(WindowKey window, KillDelay& delay, const QString& debugText);
    // Logs the window, shows the diagnostic in debug mode and closes it.
    void logAndQuit(WindowKey window, const QString& debugText);
    void countKill();

    BlockingContext m_ctx;
    HijackCheck m_hijack{m_ctx};
    std::shared_ptr<const SiteMatcher> m_allowed; // the allowed sites as this walk found them
    // Set whenever the browser reports a window opened or closed; cleared when a pass counts the
    // windows. A window that closes while another opens leaves the count as it was, yet the new
    // one must not wait for some later change to be looked at.
    QObject m_listener;
    bool m_changedSinceCount = false;
    std::function<void(double)> m_delayObserver;
};
