#include "blocking/HijackCheck.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockingLogging.h"
#include "blocking/KillDelay.h"
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

HijackCheck::HijackCheck(const BlockingContext& context, KillDelay& delay,
                         RepeatBranch repeatBranch)
    : m_ctx(context), m_delay(delay), m_repeatBranch(std::move(repeatBranch)) {
    if (!m_repeatBranch)
        m_repeatBranch = surveyRepeatBranch();
}

HijackCheck::RepeatBranch HijackCheck::surveyRepeatBranch() {
    return [](HijackCheck& check, WindowKey window) {
        if (!check.debugMessage(QStringLiteral("quitting nr. 3, kill popups3")))
            return false;
        check.navigateHome(window);
        check.beepIfChecked();
        return check.delay(2);
    };
}

bool HijackCheck::delay(int times) {
    for (int i = 0; i < times; ++i) {
        if (!m_delay())
            return false;
    }
    return true;
}

void HijackCheck::navigateHome(WindowKey window) {
    if (!m_ctx.browser.navigate(window, m_ctx.settings.desiredHomeUrl))
        qCDebug(lcBlocking) << "navigate home failed for window" << window;
}

void HijackCheck::reload(WindowKey window) {
    if (!m_ctx.browser.refresh(window))
        qCDebug(lcBlocking) << "reload failed for window" << window;
}

void HijackCheck::beepIfChecked() {
    if (m_ctx.options.beepOnKill())
        m_ctx.beeper.beep();
}

bool HijackCheck::debugMessage(const QString& text) {
    if (!m_ctx.state.debugMode)
        return true;
    m_ctx.messages.information(m_ctx.applicationTitle, text);
    // The box held the pass while events ran.
    return m_delay.stillWanted();
}

bool HijackCheck::log(const std::optional<QString>& record) {
    if (!record)
        return true;
    m_ctx.log.LogBlocked(*record);
    return m_delay.stillWanted();
}

std::optional<QString> HijackCheck::closedRecord(WindowKey window) const {
    const std::optional<QString> url = m_ctx.browser.documentUrl(window);
    const std::optional<QString> title = m_ctx.browser.documentTitle(window);
    if (!url || !title)
        return std::nullopt;
    return LogRecords::closedWindow(*url, *title);
}

std::optional<QString> HijackCheck::redirectedRecord(WindowKey window) const {
    const std::optional<QString> url = m_ctx.browser.documentUrl(window);
    const std::optional<QString> title = m_ctx.browser.documentTitle(window);
    if (!url || !title)
        return std::nullopt;
    return LogRecords::redirectedWindow(*url, *title, m_ctx.settings.desiredHomeUrl);
}

bool HijackCheck::redirect(WindowKey window) {
    if (!log(redirectedRecord(window)))
        return false;
    navigateHome(window);
    beepIfChecked();
    return delay(2);
}

bool HijackCheck::run(WindowKey window) {
    ProgramState& state = m_ctx.state;
    if (state.logViewerOpen)
        return true;

    // A failing read is skipped, and the rule it tests then runs as if it had matched.
    const qsizetype n = std::min(m_ctx.settings.hijackPatterns.size(), maxPatterns);
    for (qsizetype i = 0; i < n; ++i) {
        // The list may have been edited during a wait; positions that are gone are skipped.
        if (i >= m_ctx.settings.hijackPatterns.size())
            continue;
        const QString pattern = m_ctx.settings.hijackPatterns.at(i);

        // Exact rule.
        const std::optional<QString> address = m_ctx.browser.locationUrl(window);
        if (!address || *address == pattern) {
            if (m_ctx.settings.desiredHomeUrl.isEmpty()) {
                if (!delay())
                    return false;
            } else {
                if (!redirect(window))
                    return false;
                reload(window);
            }
        }

        // Substring rule, for the same pattern and the address as it is now.
        if (pattern.isEmpty())
            continue;
        const std::optional<QString> addressNow = m_ctx.browser.locationUrl(window);
        if (addressNow && !addressNow->contains(pattern, Qt::CaseSensitive))
            continue;
        if (m_ctx.settings.desiredHomeUrl.isEmpty()) {
            if (!delay())
                return false;
            continue;
        }
        const std::optional<qint64> handle = m_ctx.browser.handle(window);
        if (!handle || *handle != state.redirectedWindowHandle) {
            // First redirect of this window. Only the first such window is remembered.
            if (state.redirectedWindowHandle == 0 && handle)
                state.redirectedWindowHandle = *handle;
            if (!redirect(window))
                return false;
        } else if (!m_repeatBranch(*this, window)) {
            return false;
        }
        if (!delay(2))
            return false;
        reload(window);
    }
    return true;
}
