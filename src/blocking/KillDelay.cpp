#include "blocking/KillDelay.h"

#include "platform/Clock.h"
#include "platform/Waits.h"
#include "settings/LiveOptions.h"

#include <algorithm>

KillDelay::KillDelay(const Clock& clock, const LiveOptions& options,
                     std::function<bool()> stillWanted, int guardLimit)
    : m_clock(clock), m_options(options), m_stillWanted(std::move(stillWanted)),
      m_guardLimit(guardLimit) {}

bool KillDelay::operator()() {
    // A text that is not a number counts as no delay at all.
    const double delay = secondsFromText(m_options.popupKillSpeedText(), 0.0);
    ++m_waits;
    if (observer)
        observer(delay);

    // Measured on the clock that never jumps, so midnight cannot stretch a wait to a day.
    const double end = m_clock.now() + delay;
    Wait wait(m_clock);
    while (m_clock.now() < end) {
        ++m_guard;
        if (m_guard > m_guardLimit && m_clock.secondsSinceMidnight() >= delay)
            break;
        // Never ask for less than a millisecond: a zero-length sleep would only spin.
        wait.sleep(std::max(end - m_clock.now(), 0.001));
    }
    return stillWanted();
}
