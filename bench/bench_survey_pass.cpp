// What one survey pass costs, and what a waiting pass costs while nothing happens.
//
//   bench_survey_pass [idle-seconds | allow]
//
// The first table comes from passes with no delays ("0") over 10, 100 and 1000 windows and 0, 100,
// 10 000 and 32 767 (the most the list can hold) hijack patterns, none of which match; then the
// same passes when one window's address matches a pattern (no home page set, so the match costs
// only its delays of "0"). The periodic redirect pass runs the same check and is measured too. The
// second lets a pass wait for a change of the window count for a few seconds of real time and
// reports the processor time the whole process used meanwhile. The allowed sites are measured
// last: what 10 000 allowed hosts add to a pass over 1000 windows, none of which they cover.
#include "allow/AllowedSites.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "blocking/BlockingView.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "hijack/RedirectPass.h"
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

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs `pass` for at least 0.3 s (after one warm-up run that also builds the pattern index) and
// gives the mean milliseconds per run.
template <typename Pass> double msPerRun(Pass&& pass) {
    pass();
    QElapsedTimer t;
    t.start();
    int runs = 0;
    do {
        pass();
        ++runs;
    } while (t.nsecsElapsed() < 300'000'000LL);
    return static_cast<double>(t.nsecsElapsed()) / 1e6 / runs;
}

void passCost() {
    std::printf("One pass, delay \"0\"\n");
    std::printf("%8s %9s %-10s %12s %12s %12s\n", "windows", "patterns", "match", "survey ms",
                "redirect ms", "us/window");
    for (const int windows : {10, 100, 1000}) {
        for (const int patterns : {0, 100, 10000, 32767}) {
            for (const bool match : {false, true}) {
                if (match && patterns == 0)
                    continue;
                Rig rig;
                rig.options.popupKillSpeed = QStringLiteral("0");
                // No home page: a matching window is only waited for, so every pass finds it
                // again and the figures stay comparable.
                for (int p = 0; p < patterns; ++p)
                    rig.settings.hijackPatterns.append(
                        QStringLiteral("http://pattern-%1.example/").arg(p));
                for (int w = 0; w < windows; ++w)
                    rig.browser.addBrowser(QStringLiteral("http://site-%1.example/page").arg(w),
                                           QStringLiteral("Site %1").arg(w));
                if (match)
                    rig.browser.window(rig.browser.keys().at(windows / 2)).url =
                        QStringLiteral("http://pattern-%1.example/x").arg(patterns - 1);
                SurveyPass pass(rig.context);
                RedirectPass redirect(rig.context);
                const double survey = msPerRun([&] {
                    rig.state.forcePass = true;
                    pass.run();
                });
                const double periodic = msPerRun([&] { redirect.run(); });
                std::printf("%8d %9d %-10s %12.3f %12.3f %12.3f\n", windows, patterns,
                            match ? "one window" : "none", survey, periodic,
                            survey * 1000.0 / windows);
                if (!rig.browser.actions.isEmpty())
                    std::printf("  unexpected: the pass acted on a window\n");
            }
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
    // A popup opens while a pass waits; how long until a pass has closed it (delay "0"). The
    // passes run one after another as the blocking cycle runs them: a pass that finds the count
    // changed by the previous close walks at once, and the next one waits for the popup.
    Rig rig;
    rig.options.popupKillSpeed = QStringLiteral("0");
    for (int w = 0; w < 20; ++w)
        rig.browser.addBrowser(QStringLiteral("http://site-%1.example/").arg(w));
    SurveyPass pass(rig.context);
    constexpr int rounds = 20;
    QElapsedTimer t;
    qint64 openedAt = -1;
    qint64 closedAt = -1;
    rig.browser.onAction = [&](const FakeBrowser::Action& action) {
        if (action.kind == QLatin1String("quit"))
            closedAt = t.nsecsElapsed();
    };
    double total = 0;
    double worst = 0;
    int closed = 0;
    for (int i = 0; i < rounds; ++i) {
        openedAt = -1;
        closedAt = -1;
        t.start();
        // Open at varying points between two polls of the waiting pass.
        QTimer::singleShot(37 + 13 * i, &rig.browser, [&rig, &openedAt, &t, i] {
            openedAt = t.nsecsElapsed();
            rig.browser.addPopup(QStringLiteral("http://ads.example/%1").arg(i));
        });
        while (closedAt < 0 && t.elapsed() < 5000)
            pass.run();
        if (closedAt < 0 || openedAt < 0) {
            std::printf("  unexpected: popup %d was not closed\n", i);
            continue;
        }
        const double ms = static_cast<double>(closedAt - openedAt) / 1e6;
        total += ms;
        worst = std::max(worst, ms);
        ++closed;
    }
    std::printf("\nKill latency, popup opened while a pass waits (delay \"0\", %d popups)\n",
                rounds);
    if (closed > 0)
        std::printf("mean %.3f ms, worst %.3f ms\n", total / closed, worst);
}

void allowCost() {
    std::printf("\nAllowed sites, 1000 windows, delay \"0\"\n");
    std::printf("%-44s %12s\n", "list", "survey cpu ms");
    QStringList noDefaults;
    for (const AllowedSite& site : AllowedSites::defaults())
        noDefaults << site.stored();
    double without = 0;
    for (const int hosts : {0, 10000}) {
        Rig rig;
        rig.options.popupKillSpeed = QStringLiteral("0");
        // Half the hosts are opener entries, so every window's opener is read and looked up too.
        QStringList list;
        for (int h = 0; h < hosts; ++h)
            list << QStringLiteral("%1allowed-%2.example").arg(h % 2 ? "opener:" : "").arg(h);
        rig.settings.put_option(SettingsStore::encodePatternList(list), AllowedSites::storedKey);
        rig.settings.put_option(SettingsStore::encodePatternList(noDefaults),
                                AllowedSites::removedKey);
        for (int w = 0; w < 1000; ++w) {
            FakeWindow window;
            window.url = QStringLiteral("https://www.shop.site-%1.example/page?q=1").arg(w);
            window.openerUrl = QStringLiteral("https://news.site-%1.example/").arg(w);
            rig.browser.addWindow(window);
        }
        SurveyPass pass(rig.context);
        // The machine is shared: the best of a few rounds of processor time stands for the cost.
        double ms = 1e9;
        for (int round = 0; round < 5; ++round) {
            const double cpu0 = threadCpuSeconds();
            const double passes = 20;
            for (int i = 0; i < passes; ++i) {
                rig.state.forcePass = true;
                pass.run();
            }
            ms = std::min(ms, (threadCpuSeconds() - cpu0) * 1000.0 / passes);
        }
        if (hosts == 0)
            without = ms;
        std::printf("%-44s %12.3f\n", hosts ? "10 000 hosts (5 000 address, 5 000 opener)" : "none",
                    ms);
        if (hosts)
            std::printf("added by the allowed sites: %.3f ms\n", ms - without);
        if (!rig.browser.actions.isEmpty())
            std::printf("  unexpected: the pass acted on a window\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "allow") {
        allowCost();
        return 0;
    }
    double idleSeconds = 3.0;
    if (argc > 1)
        idleSeconds = QString::fromLocal8Bit(argv[1]).toDouble();
    passCost();
    killLatency();
    idleCost(idleSeconds > 0 ? idleSeconds : 3.0);
    allowCost();
    return 0;
}
