#include "blocking/BlockingController.h"

#include "app/LiveOptions.h"
#include "app/ProgramState.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingView.h"
#include "platform/BrowserWindows.h"
#include "platform/BusyPointer.h"
#include "platform/Clock.h"
#include "platform/Waits.h"
#include "settings/SettingsStore.h"

namespace {
const QString stopCaption = QStringLiteral("Stop blocking popup ads");
const QString startCaption = QStringLiteral("Start blocking popup ads");
// How long the cycle rests between passes that return at once ("Kill popups" is off), so that an
// idle cycle sleeps instead of spinning.
constexpr double idleSeconds = 0.1;
} // namespace

BlockingController::BlockingController(const BlockingContext& context)
    : m_ctx(context), m_pass(context) {}

void BlockingController::StartBlocking() {
    SettingsStore& settings = m_ctx.settings;
    const QString lastUsed = settings.getOption(SettingsKeys::lastUsedDate, QStringLiteral("0"));
    const QString today = m_ctx.clock.shortDate();
    if (today != lastUsed)
        m_ctx.log.LogBlocked(LogRecords::daySeparator(today, m_ctx.clock.longTime()));
    settings.put_option(today, SettingsKeys::lastUsedDate);
    m_ctx.state.adsLoggedThisSession = 0;
    m_ctx.view.setCaption(BlockingControl::stop_start, stopCaption);
    settings.save_state();
    m_ctx.view.setEnabled(BlockingControl::go, false);
    m_ctx.view.setEnabled(BlockingControl::stop, true);
    BlockingCycle();
}

void BlockingController::StopBlocking() {
    BlockingView& view = m_ctx.view;
    view.setCaption(BlockingControl::stop_start, startCaption);
    view.setVisible(BlockingControl::Image2, false);
    view.setVisible(BlockingControl::Image10, false);
    view.setVisible(BlockingControl::Image6, true);
    m_ctx.state.blockingStopped = true;
    view.setEnabled(BlockingControl::stop, false);
    view.setEnabled(BlockingControl::go, true);
    m_ctx.log.CloseBlockedLog();
    Wait::processPendingEvents();
    m_ctx.pointer.setDefault();
}

void BlockingController::BlockingCycle() {
    const quint64 generation = ++m_generation;
    const auto current = [this, generation] { return m_generation == generation; };
    ++m_runningCycles;
    struct Leave {
        int& cycles;
        ~Leave() { --cycles; }
    } leave{m_runningCycles};

    SnapshotExistingWindows();
    m_ctx.state.blockingStopped = false;
    Wait rest(m_ctx.clock);
    while (!m_ctx.state.hidingToTray) {
        Wait::processPendingEvents();
        if (!current())
            return;
        const SurveyPass::Outcome outcome = m_pass.run(current);
        if (!current())
            return;
        if (outcome == SurveyPass::Outcome::Skipped) {
            rest.sleep(idleSeconds);
            if (!current())
                return;
        }
    }
    // Hiding to the tray ended this cycle; Timer3 starts a fresh one with a fresh snapshot.
    m_ctx.view.setEnabled(BlockingControl::Timer3, true);
}

void BlockingController::SnapshotExistingWindows() {
    ProgramState& state = m_ctx.state;
    BrowserWindows& browser = m_ctx.browser;
    state.existingWindowHandles.clear();
    state.popupsTerminated = 0;
    m_ctx.view.setCaption(BlockingControl::label28, QString());
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

void BlockingController::onImage1Clicked() {
    StartBlocking();
}

void BlockingController::onCommand5Clicked(int index) {
    if (index == 0) {
        m_ctx.view.setEnabled(BlockingControl::Command5_0, false);
        StartBlocking();
    } else if (index == 1) {
        m_ctx.view.setEnabled(BlockingControl::Command5_1, false);
        StopBlocking();
    }
}

void BlockingController::onImage2Clicked() {
    StopBlocking();
}

void BlockingController::onStopClicked() {
    StopBlocking();
}

void BlockingController::onStopStartClicked() {
    BlockingView& view = m_ctx.view;
    if (view.caption(BlockingControl::stop_start)
            .contains(QStringLiteral("Stop"), Qt::CaseSensitive)) {
        view.setCaption(BlockingControl::stop_start, startCaption);
        onStopClicked();
    } else {
        // Timer6 restores the window and presses its start button.
        view.setEnabled(BlockingControl::Timer6, true);
        view.setCaption(BlockingControl::stop_start, stopCaption);
    }
    Wait::processPendingEvents();
}

void BlockingController::onKillAllBrowsersClicked() {
    m_ctx.state.forcePass = true;
}

void BlockingController::onGoClicked() {}

void BlockingController::onTimer3Tick() {
    m_ctx.view.setEnabled(BlockingControl::Timer3, false);
    BlockingCycle();
}
