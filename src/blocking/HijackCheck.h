#pragma once

#include "blocking/BlockingContext.h"
#include "platform/BrowserWindows.h"

#include <functional>
#include <optional>

class KillDelay;

// The per-window hijack check: every pattern of the hijack list is tested against the window's
// address, first for equality, then as a substring, and a matching window is sent to the home page
// (or, with no home page set, only one delay is spent).
//
// The survey pass and the periodic redirect pass both run it, each with its own KillDelay (and so
// its own guard counter). They differ in one place only: what the substring rule does when it meets
// the window it sent home before (the one remembered in redirectedWindowHandle). That step is the
// RepeatBranch handed to the constructor; surveyRepeatBranch() is the survey pass's.
class HijackCheck {
public:
    // Runs the repeat branch for `window`. The steps that follow every substring redirect (two more
    // delays and a reload) are run by the check itself afterwards. Returns false when the pass
    // should stop at once (a newer cycle replaced it).
    using RepeatBranch = std::function<bool(HijackCheck& check, WindowKey window)>;

    HijackCheck(const BlockingContext& context, KillDelay& delay, RepeatBranch repeatBranch);

    // The survey pass's repeat branch: navigate home again (with the "quitting nr. 3" diagnostic in
    // debug mode), beep, two delays; nothing is logged and the remembered window stays remembered.
    static RepeatBranch surveyRepeatBranch();

    // Checks `window` against every pattern. False when the pass should stop at once.
    bool run(WindowKey window);

    // Steps the branches are made of.
    const BlockingContext& context() const { return m_ctx; }
    // `times` delays one after another; false when the pass should stop.
    bool delay(int times = 1);
    // Navigate to the home page; a failure leaves the window as it was.
    void navigateHome(WindowKey window);
    // Refresh; a failure is skipped.
    void reload(WindowKey window);
    void beepIfChecked();
    // A diagnostic box in debug mode; false when the pass should stop.
    bool debugMessage(const QString& text);
    // LogBlocked with `record` when it could be built; false when the pass should stop.
    bool log(const std::optional<QString>& record);
    // The document's URL "<===>" title, when both can be read.
    std::optional<QString> closedRecord(WindowKey window) const;
    // The same followed by " , redirected to " and the home page.
    std::optional<QString> redirectedRecord(WindowKey window) const;

private:
    // A home-page redirect by the exact rule or by the first-redirect branch: log, navigate, beep,
    // two delays.
    bool redirect(WindowKey window);

    BlockingContext m_ctx;
    KillDelay& m_delay;
    RepeatBranch m_repeatBranch;
};
