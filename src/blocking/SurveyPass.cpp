#include "blocking/SurveyPass.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockingLogging.h"
#include "blocking/BlockingView.h"
#include "blocking/ProgramState.h"
#include "platform/Beeper.h"
#include "platform/MessageBoxes.h"
#include "platform/Waits.h"
#include "settings/LiveOptions.h"

namespace {
// How often a waiting pass looks at the window count when nothing wakes it earlier.
constexpr double pollSeconds = 0.1;
} // namespace

SurveyPass::SurveyPass(const BlockingContext& context) : m_ctx(context) {
    QObject::connect(&m_ctx.browser, &BrowserWindows::countChanged, &m_listener,
                     [this] { m_changedSinceCount = true; });
}

SurveyPass::Outcome SurveyPass::run(const std::function<bool()>& stillWanted) {
    const LiveOptions& options = m_ctx.options;
    ProgramState& state = m_ctx.state;
    if (!options.killPopups())
        return Outcome::Skipped;
    // Unticking "Kill popups" takes effect at once: the box is read again after every point where
    // events ran, so a pass that was waiting when it was unticked closes nothing.
    const std::function<bool()> wanted = [&] {
        return options.killPopups() && (!stillWanted || stillWanted());
    };
    const auto stop = [&] { return options.killPopups() ? Outcome::GivenUp : Outcome::Skipped; };

    if (!waitForChange(wanted) || !holdWhileStopped(wanted) || !wanted())
        return stop();
    state.forcePass = false;

    // The guard counter of the waits starts afresh with every pass.
    KillDelay delay(m_ctx.clock, options, wanted);
    delay.observer = m_delayObserver;

    // The pass waits one delay before walking the windows, so a page that has just opened a popup
    // has had a moment to settle.
    if (!delay())
        return stop();
    if (const std::optional<int> count = m_ctx.browser.count()) {
        state.lastWindowCount = *count;
        m_changedSinceCount = false;
    }

    m_allowed = SiteMatcher::of(m_ctx.settings);
    const QList<WindowKey> windows = m_ctx.browser.enumerate();
    for (const WindowKey window : windows) {
        if (!examine(window, delay))
            return stop();
    }
    return Outcome::Walked;
}

bool SurveyPass::waitForChange(const std::function<bool()>& stillWanted) {
    ProgramState& state = m_ctx.state;
    // Wakes at once when the browser reports a new count, so a popup is handled one delay after it
    // appears; the 100 ms rounds keep the flags (force, hide) answered in time.
    Wait wait(m_ctx.clock);
    wait.wakeOn(&m_ctx.browser, &BrowserWindows::countChanged);
    // No count seen yet counts as 0. A count that cannot be read is taken as unchanged. The same
    // number after a window closed and another opened is a change all the same.
    const auto unchanged = [&] {
        const std::optional<int> count = m_ctx.browser.count();
        return !count || (*count == state.lastWindowCount.value_or(0) && !m_changedSinceCount);
    };
    while (unchanged() && !state.hidingToTray && !state.forcePass) {
        wait.sleep(pollSeconds);
        if (stillWanted && !stillWanted())
            return false;
    }
    return true;
}

bool SurveyPass::holdWhileStopped(const std::function<bool()>& stillWanted) {
    Wait wait(m_ctx.clock);
    while (m_ctx.state.blockingStopped) {
        wait.sleep(pollSeconds);
        if (stillWanted && !stillWanted())
            return false;
    }
    return true;
}

bool SurveyPass::examine(WindowKey window, KillDelay& delay) {
    BrowserWindows& browser = m_ctx.browser;
    const LiveOptions& options = m_ctx.options;
    ProgramState& state = m_ctx.state;

    // A window closed already is gone as far as blocking is concerned, even when a frozen browser
    // still lists it. Folder views and windows whose page has not loaded yet are left for a later
    // pass; so is a window whose document cannot be read.
    if (state.closedWindows.contains(window))
        return true;
    const std::optional<bool> html = browser.isHtmlDocument(window);
    if (!html || !*html)
        return true;

    if (!m_hijack.run(window, delay, HijackCheck::Pass::Survey))
        return false;
    // A spared window is neither closed, nor counted, nor logged.
    if (spared(window))
        return true;

    // A failing read is skipped, and the rule it tests then runs as if it had held.
    const std::optional<bool> opener = browser.hasOpener(window);
    const std::optional<bool> menuBar = browser.menuBar(window);
    const bool popup = !opener || !menuBar || (*opener && !*menuBar);
    if (popup) {
        if (options.beepOnKill())
            m_ctx.beeper.beep();
        if (!delay())
            return false;
        // While the log viewer is open nothing is logged or closed; the window is still counted.
        return closeAndCount(window, delay, QStringLiteral("quitting nr. 1, kill popups3"));
    }

    if (newBrowserRuleHolds(window)) {
        // The options are read again after the delay: a box unticked meanwhile spares the window.
        if (!state.logViewerOpen) {
            if (options.beepOnKill())
                m_ctx.beeper.beep();
            if (!delay())
                return false;
            if (!newBrowserRuleHolds(window))
                return true;
        }
        return closeAndCount(window, delay, QStringLiteral("quitting nr. 2, kill popups3"));
    }
    return true;
}

bool SurveyPass::spared(WindowKey window) {
    if (!m_allowed || m_allowed->isEmpty())
        return false;
    const std::optional<QString> address = m_ctx.browser.locationUrl(window);
    if (!address || m_hijack.listNames(*address))
        return false;
    if (m_allowed->sparesAddress(*address))
        return true;
    if (!m_allowed->hasOpenerEntries())
        return false;
    const std::optional<QString> opener = m_ctx.browser.openerUrl(window);
    return opener && m_allowed->sparesOpener(*opener);
}

bool SurveyPass::newBrowserRuleHolds(WindowKey window) {
    BrowserWindows& browser = m_ctx.browser;
    const LiveOptions& options = m_ctx.options;
    if (!options.killBrowsers() && !options.killAllBrowsers())
        return false;
    bool found = false;
    if (const std::optional<qint64> handle = browser.handle(window)) {
        found = m_ctx.state.existingWindowHandles.contains(QString::number(*handle));
    } else {
        // The handle is the test of the search: a window we cannot name counts as found, so
        // "Kill new browsers" spares it.
        found = true;
    }
    if (options.killAllBrowsers())
        found = false;
    // A visibility that cannot be read makes the whole test hold, as with the popup rule.
    const std::optional<bool> visible = browser.visible(window);
    return !visible || (!found && *visible);
}

bool SurveyPass::closeAndCount(WindowKey window, KillDelay& delay, const QString& debugText) {
    if (!m_ctx.state.logViewerOpen) {
        // Taken before its record is written: a pass that runs while this one waits leaves it.
        m_ctx.state.closedWindows.insert(window);
        logAndQuit(window, debugText);
    }
    // A window closed is counted even when the pass stops in the delay after it.
    const bool goOn = delay.stillWanted() && delay();
    countKill();
    return goOn;
}

void SurveyPass::logAndQuit(WindowKey window, const QString& debugText) {
    // A record that cannot be read is not logged; the window is closed all the same. Once its
    // record is written the window is closed, whatever ran meanwhile.
    const std::optional<QString> url = m_ctx.browser.documentUrl(window);
    const std::optional<QString> title = m_ctx.browser.documentTitle(window);
    if (url && title)
        m_ctx.log.LogBlocked(LogRecords::closedWindow(*url, *title));
    if (m_ctx.state.debugMode)
        m_ctx.messages.information(m_ctx.applicationTitle, debugText);
    if (!m_ctx.browser.quit(window))
        qCDebug(lcBlocking) << "quit failed for window" << window;
}

void SurveyPass::countKill() {
    ProgramState& state = m_ctx.state;
    ++state.popupsTerminated;
    m_ctx.view.windowsClosed(state.popupsTerminated);
}
