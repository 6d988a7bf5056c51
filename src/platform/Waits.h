#pragma once

#include <QEventLoop>
#include <QList>
#include <QMetaObject>
#include <QObject>

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
