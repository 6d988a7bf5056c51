// A day's worth of popups in a few minutes: waves of script-opened popups through a real Chromium,
// closed by the real blocking cycle. Prints our memory after every tenth of the run, and checks
// that every popup was closed, counted once and logged on exactly one line.
//
//   bench_soak [popups, default 10000] [popups per wave, default 100]
//
// Starts its own headless Chromium on a loopback port and a page server on 127.0.0.1. Exits 1 when
// a popup was missed, counted twice or logged other than once.
#include "OpenerPage.h"
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "platform/devtools/DevToolsClient.h"
#include "support/GuardedChromium.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// The resident memory of this process now, in KiB (the peak would hide a leak that levels off).
long residentKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

} // namespace

int main(int argc, char** argv) {
    TestEnvironment::isolate();
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    const int wave =
        std::min(total, argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 100);

    OpenerPage page;
    if (!page.start("let next = 0; function openMany(n) { for (let i = 0; i < n; ++i) "
                    "window.open('/popup.html?n=' + next++, '', 'width=200,height=200'); "
                    "return next; }"))
        return 1;
    ChromiumProcess& chromium = page.chromium;
    DevToolsDriver& driver = page.driver;
    const QString& session = page.session;

    GuardedChromium rig(chromium.endpoint());
    // No delay between the steps of a kill: the run measures endurance, not patience.
    rig.harness.options.popupKillSpeed = QStringLiteral("0");
    ProgramState& state = rig.harness.state;
    const int waves = (total + wave - 1) / wave;
    int opened = 0;
    int wavesDone = 0;
    bool waiting = false; // a wave is open and not yet closed
    bool failed = false;
    QList<long> memory; // after every wave
    QElapsedTimer clock;

    const auto finish = [&](bool ok) {
        failed = !ok;
        state.hidingToTray = true; // ends the cycle
    };
    const auto openWave = [&] {
        const int n = std::min(wave, total - opened);
        opened += n;
        waiting = true;
        driver.client()->send(
            QStringLiteral("Runtime.evaluate"),
            QJsonObject{{QStringLiteral("expression"), QStringLiteral("openMany(%1)").arg(n)}},
            session);
    };
    QTimer stuck; // a wave that is not closed in time ends the run
    stuck.setSingleShot(true);
    stuck.setInterval(60000);
    QObject::connect(&stuck, &QTimer::timeout, [&] {
        std::fprintf(stderr, "wave %d: %d of %d popups closed after 60 s\n", wavesDone + 1,
                     state.popupsTerminated, opened);
        finish(false);
    });
    // A wave is over when everything opened so far has been counted and the browser is back to
    // the opener alone; the next one follows after a breath.
    const auto check = [&] {
        if (!waiting || state.popupsTerminated < opened || rig.browser.count().value_or(-1) != 1)
            return;
        waiting = false;
        ++wavesDone;
        memory.append(residentKb());
        if (qEnvironmentVariableIsSet("BENCH_SOAK_VERBOSE"))
            std::printf("wave %d closed at %.1f s\n", wavesDone, clock.elapsed() / 1000.0);
        if (wavesDone == waves) {
            finish(state.popupsTerminated == total);
            return;
        }
        stuck.start();
        QTimer::singleShot(50, openWave);
    };
    QObject::connect(&rig.browser, &BrowserWindows::countChanged, check);
    rig.harness.view.onEvent = [&](const QString&) {
        rig.harness.view.events.clear(); // the recorder's memory is not ours to measure
        check();
    };

    if (!QTest::qWaitFor([&] { return rig.browser.count().value_or(0) == 1; }, 30000)) {
        std::fprintf(stderr, "the adapter did not see the opener\n");
        return 1;
    }
    std::printf("%s, %d popups in waves of %d\n",
                qPrintable(driver.call("Browser.getVersion").result.value("product").toString()),
                total, wave);
    clock.start();
    stuck.start();
    QTimer::singleShot(0, openWave);
    rig.harness.controller.BlockingCycle();
    const double seconds = clock.elapsed() / 1000.0;

    // Every popup on exactly one line of the log, each under its own address.
    QFile logFile(rig.harness.logPath());
    QStringList lines;
    if (logFile.open(QIODevice::ReadOnly))
        lines =
            QString::fromUtf8(logFile.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    static const QRegularExpression popupLine(QStringLiteral("/popup\\.html\\?n=(\\d+)<===>"));
    QSet<int> logged;
    int popupLines = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = popupLine.match(line);
        if (m.hasMatch()) {
            ++popupLines;
            logged.insert(m.captured(1).toInt());
        }
    }
    // A closed target can linger in the browser's list for a moment.
    static_cast<void>(QTest::qWaitFor([&] { return driver.pageIds().size() == 1; }, 10000));
    const int left = static_cast<int>(driver.pageIds().size()) - 1;

    std::printf("%d waves in %.0f s (%.1f popups/s)\n", wavesDone, seconds, opened / seconds);
    std::printf("closed and counted: %d of %d opened; popups left open: %d\n",
                state.popupsTerminated, opened, left);
    std::printf("log: %d popup lines, %lld different popups, %lld lines in all\n", popupLines,
                static_cast<long long>(logged.size()), static_cast<long long>(lines.size()));
    std::printf("resident memory (KiB) after each tenth of the waves:");
    for (int i = 0; i < memory.size(); i += std::max<qsizetype>(1, memory.size() / 10))
        std::printf(" %ld", memory.at(i));
    if (!memory.isEmpty())
        std::printf(" ... last %ld\n", memory.last());
    if (memory.size() >= 10) {
        // After the first tenth (start-up, caches filling), the lowest and the highest reading.
        const auto settled = memory.mid(memory.size() / 10);
        const auto [lo, hi] = std::minmax_element(settled.begin(), settled.end());
        std::printf("after the first tenth: lowest %ld KiB, highest %ld KiB (%+.1f %%)\n", *lo, *hi,
                    100.0 * static_cast<double>(*hi - *lo) / static_cast<double>(*lo));
    }
    chromium.stop();
    const bool ok = !failed && opened == total && state.popupsTerminated == total &&
                    popupLines == total && logged.size() == total && left == 0;
    std::printf("%s\n", ok ? "every popup closed, counted once and logged once"
                           : "FAILED: see the figures above");
    return ok ? 0 : 1;
}
