#pragma once

#include <QEventLoop>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <functional>

class Clock;

// The one way this program waits: a nested event loop that sleeps on a timer, so clicks, timers
// and the browser's events keep running while the waiting code is suspended. Nothing ever spins.
//
//   Wait w(clock);
//   w.wakeOn(&browser, &BrowserWindows::countChanged);   // optional early wake-ups
//   w.sleep(0.1);                                          // 100 ms of program time
class Wait {
public:
    explicit Wait(const Clock& clock) : m_clock(clock) {}
    ~Wait();
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;

    // Ends the current and every later sleep early when `sender` emits `signal`.
    template <typename Sender, typename Signal> void wakeOn(const Sender* sender, Signal signal) {
        m_connections.append(QObject::connect(sender, signal, &m_waker, [this] { wake(); }));
    }

    // Sleeps `seconds` of program time with events processed, or until a wake-up. Returns true when
    // it was woken early.
    bool sleep(double seconds);

    // Runs what is queued now, without sleeping.
    static void processPendingEvents();

private:
    void wake();

    const Clock& m_clock;
    QObject m_waker;
    QEventLoop* m_loop = nullptr;
    bool m_woken = false;
    QList<QMetaObject::Connection> m_connections;
};

// Waits `seconds` of program time, processing events: the start-up pauses, the countdown's
// seconds and the hide sequence's pauses.
void waitSeconds(const Clock& clock, double seconds);

// A window of ours that waits for the user's answer runs a loop of its own, and whatever waited
// below that loop is stuck until the answer comes. Work that must not stop for that (blocking)
// registers here, and the waiting window runs it from inside its loop until it is answered.
namespace AnswerWait {
// Runs until `answered` says yes (asked after every point where events ran); returns at once when
// it has nothing to do.
using Work = std::function<void(const std::function<bool()>& answered)>;
// One owner at a time: the latest one set; clearing by another owner does nothing.
void setWork(const void* owner, Work work);
void clearWork(const void* owner);
// Runs the work, if any, until `answered`; the caller then waits in its own loop for the rest.
void workUntil(const std::function<bool()>& answered);
} // namespace AnswerWait
