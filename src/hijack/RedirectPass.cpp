#include "hijack/RedirectPass.h"

#include "app/ProgramState.h"
#include "blocking/BlockingContext.h"
#include "blocking/KillDelay.h"
#include "platform/BrowserWindows.h"

RedirectPass::RedirectPass(const BlockingContext& context)
    : m_browser(context.browser), m_clock(context.clock), m_options(context.options),
      m_state(context.state), m_check(context) {}

RedirectPass::Outcome RedirectPass::run() {
    if (m_running)
        return Outcome::AlreadyRunning;
    if (m_state.blockingStopped)
        return Outcome::Skipped;
    m_running = true;
    struct Leave {
        bool& running;
        ~Leave() { running = false; }
    } leave{m_running};

    // The guard counter of the waits starts afresh with every pass.
    KillDelay delay(m_clock, m_options);
    delay.observer = delayObserver;
    for (const WindowKey window : m_browser.enumerate()) {
        // Folder views and pages still loading are not checked.
        if (m_browser.isHtmlDocument(window).value_or(false))
            m_check.run(window, delay, HijackCheck::Pass::Redirect);
    }
    return Outcome::Walked;
}
