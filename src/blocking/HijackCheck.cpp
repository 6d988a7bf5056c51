#include "blocking/HijackCheck.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingLogging.h"
#include "blocking/KillDelay.h"
#include "blocking/PatternIndex.h"
#include "blocking/ProgramState.h"
#include "platform/Beeper.h"
#include "platform/MessageBoxes.h"
#include "settings/LiveOptions.h"
#include "settings/SettingsStore.h"

#include <algorithm>

namespace {
// The pattern positions are stepped through with a 16-bit counter.
constexpr qsizetype maxPatterns = 32767;
} // namespace

HijackCheck::HijackCheck(const BlockingContext& context)
    : m_browser(context.browser), m_options(context.options), m_state(context.state),
      m_settings(context.settings), m_log(context.log), m_messages(context.messages),
      m_beeper(context.beeper), m_applicationTitle(context.applicationTitle) {}

bool HijackCheck::run(WindowKey window, KillDelay& delay, Pass pass) {
    if (m_state.logViewerOpen)
        return true;

    // The count is taken once; the list itself may be edited during a wait, and positions that
    // are gone by then are skipped.
    const qsizetype n = std::min(m_settings.hijackPatterns.size(), maxPatterns);
    qsizetype i = 0;
    while (i < n) {
        const std::optional<QString> address = m_browser.locationUrl(window);
        if (address) {
            // Nothing runs between this read and the rule tests of the patterns skipped here, so
            // they would all have read this same address and failed.
            const auto index = PatternIndex::of(m_settings.hijackPatterns, maxPatterns);
            const qsizetype next = index->firstCandidate(*address, i);
            if (next < 0 || next >= n)
                return true;
            i = next;
        } else if (afterFailure(window) == Step::WindowGone) {
            return true;
        }
        // An address that cannot be read makes the rules of this pattern run as if they held.
        if (i < m_settings.hijackPatterns.size()) {
            const QString pattern = m_settings.hijackPatterns.at(i);
            const Step step = checkPattern(window, pattern, address, delay, pass);
            if (step == Step::Stop)
                return false;
            if (step == Step::WindowGone)
                return true;
        }
        ++i;
    }
    return true;
}

bool HijackCheck::listNames(const QString& address) const {
    if (m_settings.hijackPatterns.isEmpty())
        return false;
    const qsizetype n = std::min(m_settings.hijackPatterns.size(), maxPatterns);
    const qsizetype first =
        PatternIndex::of(m_settings.hijackPatterns, maxPatterns)->firstCandidate(address);
    return first >= 0 && first < n;
}

HijackCheck::Step HijackCheck::checkPattern(WindowKey window, const QString& pattern,
                                            const std::optional<QString>& address, KillDelay& delay,
                                            Pass pass) {
    const bool noHome = m_settings.desiredHomeUrl.isEmpty();

    // Exact rule.
    const bool exact = !address || *address == pattern;
    if (exact) {
        if (noHome) {
            if (wait(delay) == Step::Stop)
                return Step::Stop;
        } else {
            if (const Step step = redirect(window, delay); step != Step::Next)
                return step;
            if (const Step step = reload(window); step != Step::Next)
                return step;
        }
    }

    // Substring rule, for the same pattern and the address as it is now. Without the exact rule's
    // work nothing has run since the address was read.
    if (pattern.isEmpty())
        return Step::Next;
    const std::optional<QString> now = exact ? m_browser.locationUrl(window) : address;
    if (!now && afterFailure(window) == Step::WindowGone)
        return Step::WindowGone;
    if (now && !now->contains(pattern, Qt::CaseSensitive))
        return Step::Next;
    if (noHome)
        return wait(delay);

    Step step = Step::Next;
    if (m_state.redirectedPage != window) {
        // First redirect of this page. Only the first such page is remembered.
        if (!m_state.redirectedPage)
            m_state.redirectedPage = window;
        step = redirect(window, delay);
    } else {
        step = repeatBranch(window, delay, pass);
    }
    if (step != Step::Next)
        return step;
    if (wait(delay, 2) == Step::Stop)
        return Step::Stop;
    return reload(window);
}

HijackCheck::Step HijackCheck::redirect(WindowKey window, KillDelay& delay) {
    if (const Step step = log(window, redirectedRecord(window), delay); step != Step::Next)
        return step;
    if (const Step step = navigateHome(window); step != Step::Next)
        return step;
    beepIfChecked();
    return wait(delay, 2);
}

HijackCheck::Step HijackCheck::repeatBranch(WindowKey window, KillDelay& delay, Pass pass) {
    if (pass == Pass::Survey) {
        if (m_state.debugMode) {
            m_messages.information(m_applicationTitle,
                                   QStringLiteral("quitting nr. 3, kill popups3"));
            // The box held the pass while events ran.
            if (!delay.stillWanted())
                return Step::Stop;
        }
        if (const Step step = navigateHome(window); step != Step::Next)
            return step;
        beepIfChecked();
        return wait(delay, 2);
    }

    // The redirect pass logs the address the page showed when it was met here, and forgets the
    // page, so the next match there is a first redirect again.
    const std::optional<QString> record = closedRecord(window);
    if (wait(delay) == Step::Stop)
        return Step::Stop;
    if (const Step step = navigateHome(window); step != Step::Next)
        return step;
    if (wait(delay, 3) == Step::Stop)
        return Step::Stop;
    m_state.redirectedPage.reset();
    return log(window, record, delay);
}

HijackCheck::Step HijackCheck::wait(KillDelay& delay, int times) {
    for (int i = 0; i < times; ++i) {
        if (!delay())
            return Step::Stop;
    }
    return Step::Next;
}

HijackCheck::Step HijackCheck::navigateHome(WindowKey window) {
    if (m_browser.navigate(window, m_settings.desiredHomeUrl))
        return Step::Next;
    qCDebug(lcBlocking) << "navigate home failed for window" << window;
    return afterFailure(window);
}

HijackCheck::Step HijackCheck::reload(WindowKey window) {
    if (m_browser.refresh(window))
        return Step::Next;
    qCDebug(lcBlocking) << "reload failed for window" << window;
    return afterFailure(window);
}

HijackCheck::Step HijackCheck::log(WindowKey window, const std::optional<QString>& record,
                                   KillDelay& delay) {
    // A record that cannot be built is not logged.
    if (!record)
        return afterFailure(window);
    m_log.LogBlocked(*record);
    return delay.stillWanted() ? Step::Next : Step::Stop;
}

HijackCheck::Step HijackCheck::afterFailure(WindowKey window) {
    // A failing step is skipped, unless the window has closed: then nothing more can be done for
    // it and the rest of its patterns would only spend delays.
    if (m_browser.enumerate().contains(window))
        return Step::Next;
    qCDebug(lcBlocking) << "window" << window << "closed during its hijack check";
    return Step::WindowGone;
}

void HijackCheck::beepIfChecked() {
    if (m_options.beepOnKill())
        m_beeper.beep();
}

std::optional<QString> HijackCheck::closedRecord(WindowKey window) const {
    const std::optional<QString> url = m_browser.documentUrl(window);
    const std::optional<QString> title = m_browser.documentTitle(window);
    if (!url || !title)
        return std::nullopt;
    return LogRecords::closedWindow(*url, *title);
}

std::optional<QString> HijackCheck::redirectedRecord(WindowKey window) const {
    const std::optional<QString> url = m_browser.documentUrl(window);
    const std::optional<QString> title = m_browser.documentTitle(window);
    if (!url || !title)
        return std::nullopt;
    return LogRecords::redirectedWindow(*url, *title, m_settings.desiredHomeUrl);
}
