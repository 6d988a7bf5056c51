// What one survey pass costs, and what a waiting pass costs while nothing happens.
//
//   bench_survey_pass [idle-seconds]
//
// The first table comes from passes with no delays ("0") over 10, 100 and 1000 windows and 0, 100
// and 10 000 hijack patterns (none of which match, so every pattern is tested against every
// window). The second lets a pass wait for a change of the window count for a few seconds of real
// time and reports the processor time the whole process used meanwhile.
#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "blocking/BlockingView.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "settings/SettingsStore.h"
#include "support/BlockingHarness.h"
#include "support/FakeBrowser.h"
#include "support/FakeLiveOptions.h"
#include "support/MemorySettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingBlockingView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// The doubles the tests use, at the real pace of the clock.
struct Rig : BlockingHarness {
    Rig() : BlockingHarness(1.0) {}
};

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void passCost() {
    std::printf("One pass, delay \"0\", no pattern matching\n");
    std::printf("%8s %9s %7s %12s %14s\n", "windows", "patterns", "passes", "ms/pass", "us/window");
    for (const int windows : {10, 100, 1000}) {
        for (const int patterns : {0, 100, 10000}) {
            Rig rig;
            rig.options.popupKillSpeed = QStringLiteral("0");
            rig.settings.desiredHomeUrl = QStringLiteral("http://home.example/");
            for (int p = 0; p < patterns; ++p)
                rig.settings.hijackPatterns.append(
                    QStringLiteral("http://pattern-%1.example/").arg(p));
            for (int w = 0; w < windows; ++w)
                rig.browser.addBrowser(QStringLiteral("http://site-%1.example/page").arg(w),
                                       QStringLiteral("Site %1").arg(w));
            SurveyPass pass(rig.context);
            // Warm up once, then run passes for at least 0.3 s (at least one).
            rig.state.forcePass = true;
            pass.run();
            QElapsedTimer t;
            t.start();
            int passes = 0;
            do {
                rig.state.forcePass = true;
                pass.run();
                ++passes;
            } while (t.nsecsElapsed() < 300'000'000LL);
            const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6 / passes;
            std::printf("%8d %9d %7d %12.3f %14.3f\n", windows, patterns, passes, ms,
                        ms * 1000.0 / windows);
            if (!rig.browser.actions.isEmpty())
                std::printf("  unexpected: the pass acted on a window\n");
        }
    }
}

void idleCost(double seconds) {
    std::printf("\nIdle: real time %.1f s per case\n", seconds);
    std::printf("%-40s %10s %10s\n", "case", "cpu ms", "% of core");
    const auto report = [&](const char* name, double cpu, double wall) {
        std::printf("%-40s %10.2f %10.3f\n", name, cpu * 1000.0, 100.0 * cpu / wall);
    };

    {
        // A pass waiting for the window count to change (the usual state of a blocking program).
        Rig rig;
        for (int w = 0; w < 20; ++w)
            rig.browser.addBrowser(QStringLiteral("http://site-%1.example/").arg(w));
        rig.state.lastWindowCount = rig.browser.count();
        SurveyPass pass(rig.context);
        QTimer::singleShot(static_cast<int>(seconds * 1000), &rig.browser,
                           [&] { rig.state.hidingToTray = true; });
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuSeconds();
        pass.run();
        report("pass waiting for a change", cpuSeconds() - cpu0,
               static_cast<double>(wall.nsecsElapsed()) / 1e9);
    }
    {
        // A whole cycle with "Kill popups" off: it rests between passes that return at once.
        Rig rig;
        rig.options.killPopupsOn = false;
        rig.backend.values[QStringLiteral("last_used_date")] = rig.clock.shortDate();
        BlockingController controller(rig.context);
        QTimer::singleShot(static_cast<int>(seconds * 1000), &rig.browser,
                           [&] { rig.state.hidingToTray = true; });
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuSeconds();
        controller.StartBlocking();
        report("cycle with \"Kill popups\" off", cpuSeconds() - cpu0,
               static_cast<double>(wall.nsecsElapsed()) / 1e9);
    }
}

void killLatency() {
    // A popup opens while a pass waits; how long until the pass has closed it (delay "0").
    Rig rig;
    rig.options.popupKillSpeed = QStringLiteral("0");
    for (int w = 0; w < 20; ++w)
        rig.browser.addBrowser(QStringLiteral("http://site-%1.example/").arg(w));
    SurveyPass pass(rig.context);
    constexpr int rounds = 20;
    QElapsedTimer t;
    qint64 openedAt = 0;
    qint64 closedAt = 0;
    rig.browser.onAction = [&](const FakeBrowser::Action&) { closedAt = t.nsecsElapsed(); };
    double total = 0;
    double worst = 0;
    for (int i = 0; i < rounds; ++i) {
        // The pass waits until the count differs from the one it sees now.
        rig.state.lastWindowCount = rig.browser.count();
        closedAt = -1;
        t.start();
        // Open at varying points between two polls of the waiting pass.
        QTimer::singleShot(37 + 13 * i, &rig.browser, [&] {
            openedAt = t.nsecsElapsed();
            rig.browser.addPopup(QStringLiteral("http://ads.example/%1").arg(i));
        });
        pass.run();
        if (closedAt < openedAt)
            std::printf("  unexpected: popup %d was not closed\n", i);
        const double ms = static_cast<double>(closedAt - openedAt) / 1e6;
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("\nKill latency, popup opened while a pass waits (delay \"0\", %d popups)\n",
                rounds);
    std::printf("mean %.3f ms, worst %.3f ms\n", total / rounds, worst);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    double idleSeconds = 3.0;
    if (argc > 1)
        idleSeconds = QString::fromLocal8Bit(argv[1]).toDouble();
    passCost();
    killLatency();
    idleCost(idleSeconds > 0 ? idleSeconds : 3.0);
    return 0;
}
