#include "blocking/BlockingController.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockingView.h"
#include "blocking/ProgramState.h"
#include "platform/BrowserWindows.h"
#include "platform/BusyPointer.h"
#include "platform/Clock.h"
#include "platform/Waits.h"
#include "settings/SettingsStore.h"

#include <algorithm>

namespace {
// How long the cycle rests between passes that return at once ("Kill popups" is off), so that an
// idle cycle sleeps instead of spinning.
constexpr double idleSeconds = 0.1;
// After a hide to the tray the next cycle starts this much later, with a fresh snapshot.
constexpr int restartMs = 1000;
} // namespace

BlockingController::BlockingController(const BlockingContext& context)
    : m_ctx(context), m_pass(context) {
    m_restart.setSingleShot(true);
    QObject::connect(&m_restart, &QTimer::timeout, &m_restart, [this] { BlockingCycle(); });
    AnswerWait::setWork(
        this, [this](const std::function<bool()>& answered) { blockWhileAnswering(answered); });
}

BlockingController::~BlockingController() {
    AnswerWait::clearWork(this);
}

void BlockingController::StartBlocking() {
    SettingsStore& settings = m_ctx.settings;
    const QString lastUsed = settings.getOption(SettingsKeys::lastUsedDate, QStringLiteral("0"));
    const Clock::DateAndTime now = m_ctx.clock.dateAndTime();
    if (now.date != lastUsed)
        m_ctx.log.LogBlocked(LogRecords::daySeparator(now.date, now.time));
    settings.put_option(now.date, SettingsKeys::lastUsedDate);
    m_ctx.state.adsLoggedThisSession = 0;
    settings.save_state();
    m_ctx.view.blockingSwitched(true);
    BlockingCycle();
}

void BlockingController::StopBlocking() {
    m_ctx.state.blockingStopped = true;
    m_ctx.view.blockingSwitched(false);
    m_ctx.log.CloseBlockedLog();
    Wait::processPendingEvents();
    m_ctx.pointer.setDefault();
}

void BlockingController::forcePass() {
    m_ctx.state.forcePass = true;
}

void BlockingController::BlockingCycle() {
    m_restart.stop();
    if (m_depth > 0) {
        // The running cycle gives up its pass at the next point where events ran and begins
        // afresh; this call returns to the loop that delivered it.
        m_freshStartWanted = true;
        return;
    }
    runCycles();
}

void BlockingController::runCycles() {
    ++m_depth;
    m_deepest = std::max(m_deepest, m_depth);
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{m_depth};

    m_freshStartWanted = true; // the cycle begins with a snapshot
    runPasses(m_pass, {});
    // Hiding to the tray ended this cycle; a fresh one follows with a fresh snapshot.
    m_restart.start(m_ctx.clock.timerInterval(restartMs));
}

void BlockingController::runPasses(SurveyPass& pass, const std::function<bool()>& over) {
    Wait rest(m_ctx.clock);
    const auto done = [&] { return m_ctx.state.hidingToTray || (over && over()); };
    for (;;) {
        if (m_freshStartWanted) {
            m_freshStartWanted = false;
            ++m_begun;
            SnapshotExistingWindows();
            m_ctx.state.blockingStopped = false;
        }
        if (done())
            return;
        const quint64 serial = ++m_passSerial;
        const auto current = [&] {
            return m_passSerial == serial && !m_freshStartWanted && !done();
        };
        Wait::processPendingEvents();
        if (!current())
            continue;
        const SurveyPass::Outcome outcome = pass.run(current);
        if (outcome == SurveyPass::Outcome::Skipped && current())
            rest.sleep(idleSeconds);
    }
}

void BlockingController::blockWhileAnswering(const std::function<bool()>& answered) {
    // With no cycle on the stack nothing waits below the window; with the window hiding, the
    // cycle is ending anyway.
    if (m_depth == 0)
        return;
    SurveyPass pass(m_ctx);
    runPasses(pass, answered);
}

void BlockingController::SnapshotExistingWindows() {
    ProgramState& state = m_ctx.state;
    BrowserWindows& browser = m_ctx.browser;
    state.existingWindowHandles.clear();
    state.popupsTerminated = 0;
    m_ctx.view.countReset();
    for (const WindowKey window : browser.enumerate()) {
        const std::optional<bool> html = browser.isHtmlDocument(window);
        if (!html || !*html)
            continue;
        if (const std::optional<qint64> handle = browser.handle(window)) {
            const QString text = QString::number(*handle);
            if (!state.existingWindowHandles.contains(text))
                state.existingWindowHandles.append(text);
        }
        if (const std::optional<QString> url = browser.locationUrl(window)) {
            if (!state.openPageUrls.contains(*url))
                state.openPageUrls.append(*url);
        }
    }
}
