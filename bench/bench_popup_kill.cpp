// How fast a popup is gone through the Chromium adapter, next to the floor a minimal client
// reaches in the same run; the adapter's idle cost with many tabs open; our peak memory.
//
//   bench_popup_kill [popups per series, default 40]
//
// Starts its own headless Chromium on a loopback port and a page server on 127.0.0.1; needs
// nothing else. Prints a small table.
#include "BenchTools.h"
#include "OpenerPage.h"
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "platform/devtools/DevToolsClient.h"
#include "support/GuardedChromium.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

double wallMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Stats {
    double median = 0;
    double p95 = 0;
    double max = 0;
    int n = 0;
};

Stats stats(QList<double> values) {
    Stats s;
    s.n = static_cast<int>(values.size());
    if (values.isEmpty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = Bench::quantile(values, 0.5);
    s.p95 = Bench::quantile(values, 0.95);
    s.max = values.last();
    return s;
}

// Opens one popup from the opener page and gives the page's own clock at window.open.
double openPopup(DevToolsDriver& driver, const QString& session) {
    const DevToolsReply reply =
        driver.call(QStringLiteral("Runtime.evaluate"),
                    QJsonObject{{QStringLiteral("expression"), QStringLiteral("openOne()")},
                                {QStringLiteral("returnByValue"), true}},
                    session);
    const double t = reply.result.value("result").toObject().value("value").toDouble();
    if (t == 0)
        std::fprintf(stderr, "openOne() failed: %s %s\n", qPrintable(reply.error),
                     QJsonDocument(reply.result).toJson(QJsonDocument::Compact).constData());
    return t;
}

// Idle time: an event loop that sleeps until a timer ends it, as the program's own loop would.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Through the adapter: a popup is closed as soon as the mirror shows it; it is gone when the
// mirror's count is back where it was.
QList<double> adapterSeries(ChromiumBrowser& browser, DevToolsDriver& driver,
                            const QString& session, int popups) {
    QList<double> latencies;
    const int baseline = browser.count().value_or(0);
    double goneAt = 0;
    QSet<WindowKey> closing;
    const auto connection = QObject::connect(&browser, &BrowserWindows::countChanged, [&] {
        const int now = browser.count().value_or(0);
        if (now == baseline && goneAt == 0)
            goneAt = wallMs();
        if (now <= baseline)
            return;
        for (WindowKey key : browser.enumerate()) {
            if (!closing.contains(key) && browser.hasOpener(key).value_or(false) &&
                !browser.menuBar(key).value_or(true) && browser.quit(key))
                closing.insert(key);
        }
    });
    for (int i = 0; i < popups; ++i) {
        goneAt = 0;
        const double opened = openPopup(driver, session);
        // goneAt is set by the browser's events while waitFor runs the event loop.
        // cppcheck-suppress knownConditionTrueFalse
        if (!Bench::waitFor([&] { return goneAt != 0; }, 20000, 5)) {
            std::fprintf(stderr, "popup %d was not closed in time\n", i);
            break;
        }
        latencies.append(goneAt - opened);
        QTest::qWait(20);
    }
    QObject::disconnect(connection);
    return latencies;
}

// The floor: a client of its own that does nothing but close every new page the moment the
// browser announces it (Target.targetCreated); the popup is gone when the browser reports the
// target destroyed. (Closing it from an auto-attached session the moment it was attached made
// the opener's script hang in this browser, so the floor closes on discovery, which comes even
// earlier.)
QList<double> floorSeries(const QString& endpoint, DevToolsDriver& driver, const QString& session,
                          int popups) {
    QList<double> latencies;
    DevToolsDriver floor;
    if (!floor.connectTo(endpoint))
        return latencies;
    DevToolsClient* client = floor.client();
    double goneAt = 0;
    QSet<QString> closing;
    const QStringList existing = driver.pageIds(); // the opener and the tabs stay
    QObject::connect(client, &DevToolsClient::eventReceived,
                     [&](const QString& method, const QJsonObject& params, const QString&) {
                         if (method == QLatin1String("Target.targetCreated")) {
                             const QJsonObject info =
                                 params.value(QStringLiteral("targetInfo")).toObject();
                             const QString id = info.value(QStringLiteral("targetId")).toString();
                             if (info.value(QStringLiteral("type")).toString() == "page" &&
                                 !existing.contains(id) && !closing.contains(id)) {
                                 closing.insert(id);
                                 client->send(QStringLiteral("Target.closeTarget"),
                                              QJsonObject{{QStringLiteral("targetId"), id}});
                             }
                         } else if (method == QLatin1String("Target.targetDestroyed")) {
                             if (closing.contains(params.value("targetId").toString()))
                                 goneAt = wallMs();
                         }
                     });
    floor.call(QStringLiteral("Target.setDiscoverTargets"),
               QJsonObject{{QStringLiteral("discover"), true}});
    for (int i = 0; i < popups; ++i) {
        goneAt = 0;
        const double opened = openPopup(driver, session);
        // goneAt is set by the browser's events while waitFor runs the event loop.
        // cppcheck-suppress knownConditionTrueFalse
        if (!Bench::waitFor([&] { return goneAt != 0; }, 20000, 5)) {
            std::fprintf(stderr, "floor: popup %d was not closed in time\n", i);
            break;
        }
        latencies.append(goneAt - opened);
        QTest::qWait(20);
    }
    return latencies;
}

void print(const QString& what, const Stats& s) {
    std::printf("%-46s n=%3d  median %6.1f ms  p95 %6.1f ms  max %6.1f ms\n", qPrintable(what), s.n,
                s.median, s.p95, s.max);
    std::fflush(stdout);
}

// One adapter attached to the browser for one series (and the idle measurement).
bool measureAdapter(const QString& endpoint, DevToolsDriver& driver, const QString& session,
                    int popups, int otherTabs, bool measureIdle) {
    ChromiumBrowser browser(GuardedChromium::attachTo(endpoint));
    browser.start();
    if (!Bench::waitFor([&] { return browser.count().value_or(0) == 1 + otherTabs; }, 60000, 5)) {
        std::fprintf(stderr, "the adapter did not see the tabs\n");
        return false;
    }
    print(QStringLiteral("window.open -> gone, adapter, %1 other tabs").arg(otherTabs),
          stats(adapterSeries(browser, driver, session, popups)));
    if (measureIdle) {
        idle(2000); // let the tabs settle
        const double cpuBefore = cpuSeconds();
        const double wallBefore = wallMs();
        idle(30000);
        const double cpu = cpuSeconds() - cpuBefore;
        const double wall = (wallMs() - wallBefore) / 1000.0;
        std::printf(
            "%-46s %.3f s CPU in %.1f s = %.2f %% of one core\n",
            qPrintable(QStringLiteral("idle, adapter attached, %1 tabs").arg(otherTabs + 1)), cpu,
            wall, 100.0 * cpu / wall);
    }
    return true;
}

// Through the real blocking cycle: survey passes with the given delay between their steps close
// the popups; a popup is gone when the mirror's count is back where it was. The next popup opens
// once the cycle waits for a change again, so every popup meets a waiting pass.
QList<double> passSeries(const QString& endpoint, DevToolsDriver& driver, const QString& session,
                         int popups, int otherTabs, const QString& delay) {
    QList<double> latencies;
    GuardedChromium rig(endpoint);
    rig.harness.options.popupKillSpeed = delay;
    if (!Bench::waitFor([&] { return rig.browser.count().value_or(0) == 1 + otherTabs; }, 60000, 5))
        return latencies;
    const int baseline = 1 + otherTabs;
    double opened = 0;
    double goneAt = 0;
    bool waiting = false;
    bool seen = false; // the popup has entered the mirror
    int started = 0;
    std::function<void()> next = [&] {
        if (started == popups) {
            rig.harness.state.hidingToTray = true;
            return;
        }
        ++started;
        opened = 0;
        goneAt = 0;
        waiting = true;
        driver.client()->send(
            QStringLiteral("Runtime.evaluate"),
            QJsonObject{{QStringLiteral("expression"), QStringLiteral("openOne()")},
                        {QStringLiteral("returnByValue"), true}},
            session, nullptr, [&](const DevToolsReply& reply) {
                opened = reply.result.value("result").toObject().value("value").toDouble();
            });
    };
    QTimer stuck; // a popup that is not closed in time ends the series
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, [&] {
        std::fprintf(stderr, "pass: popup %d was not closed in time\n", started);
        rig.harness.state.hidingToTray = true;
    });
    QObject::connect(&rig.browser, &BrowserWindows::countChanged, [&] {
        const int count = rig.browser.count().value_or(-1);
        if (waiting && count > baseline)
            seen = true;
        if (!waiting || !seen || count != baseline)
            return;
        seen = false;
        goneAt = wallMs();
        waiting = false;
        if (opened > 0)
            latencies.append(goneAt - opened);
        // The next one once the pass has finished with this one and waits again: its delay after
        // the kill, the pass that follows the change of count, and a margin.
        QTimer::singleShot(300 + static_cast<int>(3000 * delay.toDouble()), next);
        stuck.start(20000);
    });
    QTimer::singleShot(500, next);
    stuck.start(20000);
    rig.harness.controller.BlockingCycle();
    return latencies;
}

} // namespace

int main(int argc, char** argv) {
    TestEnvironment::isolate();
    QCoreApplication app(argc, argv);
    const int popups = argc > 1 ? std::max(30, QString::fromLocal8Bit(argv[1]).toInt()) : 40;

    OpenerPage page;
    if (!page.start("function openOne() { const t = performance.timeOrigin + performance.now(); "
                    "window.open('/popup.html', '', 'width=200,height=200'); return t; }"))
        return 1;
    page.server.setHtml("/tab.html", "Tab", "<p>a tab</p>");
    ChromiumProcess& chromium = page.chromium;
    DevToolsDriver& driver = page.driver;
    const QString& session = page.session;

    std::printf("%s, %d popups per series; floor and adapter alternate\n",
                qPrintable(driver.call("Browser.getVersion").result.value("product").toString()),
                popups);
    // Warm-up, not counted: the first popups of a fresh browser are slow.
    floorSeries(chromium.endpoint(), driver, session, 5);
    int tabs = 0;
    for (int otherTabs : {0, 50}) {
        while (tabs < otherTabs) {
            driver.call(QStringLiteral("Target.createTarget"),
                        QJsonObject{{QStringLiteral("url"), page.server.url("/tab.html")}});
            ++tabs;
        }
        idle(1000);
        print(QStringLiteral("window.open -> gone, floor, %1 other tabs").arg(otherTabs),
              stats(floorSeries(chromium.endpoint(), driver, session, popups)));
        if (!measureAdapter(chromium.endpoint(), driver, session, popups, otherTabs,
                            otherTabs == 50))
            return 1;
        for (const QString& delay : {QStringLiteral(".05"), QStringLiteral(".2")})
            print(
                QStringLiteral("window.open -> gone, pass %1 s, %2 other tabs")
                    .arg(delay)
                    .arg(otherTabs),
                stats(passSeries(chromium.endpoint(), driver, session, popups, otherTabs, delay)));
        print(QStringLiteral("window.open -> gone, floor again, %1 other tabs").arg(otherTabs),
              stats(floorSeries(chromium.endpoint(), driver, session, popups)));
    }
    std::printf("%-46s %ld KiB\n", "peak RSS of this process", peakRssKb());
    chromium.stop();
    return 0;
}
