#pragma once

#include "platform/BrowserWindows.h"

#include <QString>
#include <optional>

class Beeper;
class BlockedLog;
class KillDelay;
class LiveOptions;
class MessageBoxes;
class SettingsStore;
struct BlockingContext;
struct ProgramState;

// The per-window hijack check: every pattern of the hijack list is tested against the window's
// address, first for equality, then as a substring, and a matching window is sent to the home page
// (or, with no home page set, only one delay is spent). The address is read afresh for every rule,
// so later patterns meet the window wherever it has been sent meanwhile.
//
// One object serves every window of every pass; each run brings the pass's own KillDelay (and so
// its guard counter). The survey pass and the periodic redirect pass differ in one place only:
// what the substring rule does when it meets the page it sent home before (the one remembered in
// redirectedPage). A page is one tab: other tabs of the same window are pages of their own.
//
// Patterns that cannot fire on the address are skipped through the pattern index, so a long list
// costs one walk over the address per window, not one comparison per pattern.
class HijackCheck {
public:
    enum class Pass {
        Survey,   // the survey pass: home again, nothing logged, the window stays remembered
        Redirect, // the periodic redirect pass: home again, logged, the window is forgotten
    };

    explicit HijackCheck(const BlockingContext& context);

    // Checks `window` against every pattern. False when the pass should stop at once (a newer
    // cycle replaced it); a window that no longer exists ends its check at once (true).
    bool run(WindowKey window, KillDelay& delay, Pass pass);
    // Whether a rule of the hijack list fires on `address`.
    bool listNames(const QString& address) const;

private:
    enum class Step { Next, WindowGone, Stop };

    Step checkPattern(WindowKey window, const QString& pattern,
                      const std::optional<QString>& address, KillDelay& delay, Pass pass);
    // A home-page redirect by the exact rule or by the first-redirect branch: log, navigate, beep,
    // two delays.
    Step redirect(WindowKey window, KillDelay& delay);
    Step repeatBranch(WindowKey window, KillDelay& delay, Pass pass);

    // `times` delays one after another.
    Step wait(KillDelay& delay, int times = 1);
    Step navigateHome(WindowKey window);
    Step reload(WindowKey window);
    // LogBlocked with `record` when it could be built.
    Step log(WindowKey window, const std::optional<QString>& record, KillDelay& delay);
    // After a step on the window failed: the window may simply have gone.
    Step afterFailure(WindowKey window);
    void beepIfChecked();

    // The document's URL "<===>" title, when both can be read.
    std::optional<QString> closedRecord(WindowKey window) const;
    // The same followed by " , redirected to " and the home page.
    std::optional<QString> redirectedRecord(WindowKey window) const;

    BrowserWindows& m_browser;
    const LiveOptions& m_options;
    ProgramState& m_state;
    // The hijack patterns and the home page.
    SettingsStore& m_settings;
    BlockedLog& m_log;
    MessageBoxes& m_messages;
    Beeper& m_beeper;
    QString m_applicationTitle;
};
