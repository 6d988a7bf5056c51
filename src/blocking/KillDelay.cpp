#include "blocking/KillDelay.h"

#include "platform/Clock.h"
#include "platform/Waits.h"
#include "settings/LiveOptions.h"

#include <algorithm>

namespace {
// The longest a wait sleeps before it reads the box again.
constexpr double roundSeconds = 0.1;
} // namespace

KillDelay::KillDelay(const Clock& clock, const LiveOptions& options,
                     std::function<bool()> stillWanted, int guardLimit)
    : m_clock(clock), m_options(options), m_stillWanted(std::move(stillWanted)),
      m_guardLimit(guardLimit) {}

bool KillDelay::operator()() {
    // A text that is not a number counts as no delay at all.
    const auto length = [this] { return secondsFromText(m_options.popupKillSpeedText(), 0.0); };
    double delay = length();
    if (observer)
        observer(delay);

    // Measured on the clock that never jumps, so midnight cannot stretch a wait to a day.
    const double start = m_clock.now();
    Wait wait(m_clock);
    while (m_clock.now() < start + delay) {
        ++m_guard;
        if (m_guard > m_guardLimit && m_clock.secondsSinceMidnight() >= delay)
            break;
        // Never ask for less than a millisecond: a zero-length sleep would only spin. The box and
        // the pass's own wishes are looked at again every round, so a shorter delay typed, or
        // "Kill popups" unticked, during a long wait takes effect at once.
        wait.sleep(std::clamp(start + delay - m_clock.now(), 0.001, roundSeconds));
        if (!stillWanted())
            return false;
        delay = length();
    }
    return stillWanted();
}
