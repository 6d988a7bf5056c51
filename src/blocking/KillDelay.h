#pragma once

#include <functional>

class Clock;
class LiveOptions;

// The pause between the steps of a kill or a redirect: the text of the "Delay between killing
// popups" box in seconds, read afresh for every wait and again while it waits. One object belongs
// to one pass and carries the pass's guard counter across all its waits.
//
// A wait sleeps on a timer in a nested event loop (events keep running) until the delay is over;
// each wake-up is one guard round. Once the pass has spent more than `guardLimit` rounds, each
// further wait ends as soon as the time of day is past the delay, so a pass whose waits keep being
// woken cannot be held for ever.
class KillDelay {
public:
    static constexpr int defaultGuardLimit = 500000;

    // `stillWanted` tells whether the pass that owns these waits should go on; it is asked during
    // and after every wait (a newer blocking cycle may have replaced the pass's own, or "Kill
    // popups" was unticked), and a wait ends early when it says no. Empty = always.
    KillDelay(const Clock& clock, const LiveOptions& options,
              std::function<bool()> stillWanted = {}, int guardLimit = defaultGuardLimit);

    // One wait. False when the pass should stop at once.
    bool operator()();
    // Whether the owning pass should go on (also used after other points where events ran).
    bool stillWanted() const { return !m_stillWanted || m_stillWanted(); }

    // Called at the start of every wait with its length in seconds; for measurements and tests.
    std::function<void(double seconds)> observer;

private:
    const Clock& m_clock;
    const LiveOptions& m_options;
    std::function<bool()> m_stillWanted;
    int m_guardLimit;
    int m_guard = 0;
};
