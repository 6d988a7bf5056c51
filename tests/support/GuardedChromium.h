#pragma once

#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "support/BlockingHarness.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// The adapter attached to the browser at `endpoint` (never launching one) and the blocking cycle on
// it, on the system clock: the end-to-end tests and the browser benchmarks run on it.
struct GuardedChromium {
    explicit GuardedChromium(const QString& endpoint) : browser(attachTo(endpoint)) {
        browser.start();
    }
    static BrowserConnectionOptions attachTo(const QString& endpoint) {
        BrowserConnectionOptions options;
        options.endpoint = endpoint;
        options.launch = false;
        return options;
    }

    // Runs the blocking cycle until `done` (asked every 50 ms from inside the cycle's waits) or
    // the time is up, with the redirect pass every `redirectMs` when set; gives whether `done` was
    // reached.
    bool runCycleUntil(const std::function<bool()>& done, int timeoutMs = 90000,
                       int redirectMs = 0) {
        return runCycleUntil(harness, done, timeoutMs, redirectMs);
    }
    // The same on any harness (a collection of browsers, say).
    static bool runCycleUntil(BlockingHarness& harness, const std::function<bool()>& done,
                              int timeoutMs = 90000, int redirectMs = 0) {
        bool reached = false;
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            reached = reached || done();
            if (reached || elapsed.elapsed() > timeoutMs)
                harness.state.hidingToTray = true;
        });
        poll.start(50);
        QTimer redirectTimer;
        QObject::connect(&redirectTimer, &QTimer::timeout, [&harness] { harness.redirect.run(); });
        if (redirectMs > 0)
            redirectTimer.start(redirectMs);
        harness.state.hidingToTray = false;
        harness.controller.BlockingCycle();
        return reached;
    }

    SystemClock clock;
    ChromiumBrowser browser;
    BlockingHarness harness{browser, clock}; // its cycle and passes run on this browser
};
