// Click -> popup gone, three closers in one run, their clicks alternating:
//   floor     a Chromium with bench/extension-floor, which removes a popup window in the listener
//             of its creation (no port, no program, no rule): the fastest an extension can be;
//   extension a Chromium with extension/, its bridge, the program's server, the collection and
//             the blocking cycle, the kill delay set to 0;
//   devtools  a Chromium on the DevTools route (the adapter), in the same collection and cycle.
//
//   bench_extension_kill [clicks per closer, default 20]
//
// Every browser shows the same page and gets the same click (Input.dispatchMouseEvent on a button
// whose handler calls window.open with a size, so the browser makes a popup window). The time runs
// from the page's click handler to the moment the browser reports the popup's page target
// destroyed, seen by a DevTools connection of the benchmark's own. For the program's two routes it
// also prints when the popup entered the mirror, when the survey pass woke, and when the pass
// closed it (the mirror's count back), each after the click.
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "support/ExtensionRig.h"
#include "support/GuardedChromium.h"
#include "support/LocalHttpServer.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kWarmUp = 3;          // clicks per closer not counted: a fresh browser is slow
constexpr int kGapMs = 400;         // after a popup is gone, before the next click
constexpr int kGiveUpMs = 10000;    // a popup not gone by then is counted as missed
constexpr double kGoalFactor = 1.2; // the extension route against the floor, plus the delays
// How long the program's records of an extension's new tab wait for its title (ExtensionBrowser's
// own default, which the program keeps).
constexpr int kProgramTitleWaitMs = 300;

double wallMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

struct Stats {
    double median = 0;
    double p90 = 0;
    double max = 0;
};

Stats stats(QList<double> values) {
    Stats s;
    if (values.isEmpty())
        return s;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values.at(std::min<qsizetype>(
            values.size() - 1, static_cast<qsizetype>(q * (values.size() - 1) + 0.5)));
    };
    s.median = at(0.5);
    s.p90 = at(0.9);
    s.max = values.last();
    return s;
}

bool waitFor(const std::function<bool()>& condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// One browser, with the benchmark's own DevTools connection to it.
struct Browser {
    ChromiumProcess process;
    DevToolsDriver hands; // the benchmark's own: clicks, and sees targets come and go
    QString tab;          // the session on the page that is clicked
    QSet<QString> known;  // targets that are not popups
    QString popup;        // the popup of the click under way
};

// One closer's clicks and what was measured for them.
struct Series {
    Series(QString what, Browser* browser, std::function<void()> setUp = {})
        : name(std::move(what)), in(browser), before(std::move(setUp)) {}
    QString name;
    Browser* in = nullptr;
    std::function<void()> before;        // sets the program up for this series' click
    QList<double> gone;                  // click -> gone, ms
    QList<double> created;               // click -> the browser reports the popup's page
    QList<double> entered, woke, closed; // click -> the program's steps (its routes only)
    int missed = 0;
};

// The page every closer shows: one button over the whole viewport.
void servePages(LocalHttpServer& web) {
    web.setHtml("/click.html", "Click",
                "<button style=\"position:fixed;left:0;top:0;width:100%;height:100%\" "
                "onclick=\"window.lastClick = performance.timeOrigin + performance.now(); "
                "window.open('/popup.html', '_blank', 'width=320,height=240')\">ad</button>");
    web.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
}

// Shows the page and starts watching the browser's targets: a new page is the click's popup, and
// it is gone when the browser says its target is destroyed.
bool watch(Browser& c, const QString& url, const std::function<void(Browser&)>& created,
           const std::function<void(Browser&)>& gone) {
    c.tab = ExtensionRig::showInFirstTab(c.hands, c.process.endpoint(), url);
    if (c.tab.isEmpty())
        return false;
    for (const QString& id : c.hands.pageIds())
        c.known.insert(id);
    QObject::connect(
        c.hands.client(), &DevToolsClient::eventReceived,
        [&c, created, gone](const QString& method, const QJsonObject& params, const QString&) {
            if (method == QLatin1String("Target.targetCreated")) {
                const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
                const QString id = info.value(QStringLiteral("targetId")).toString();
                if (info.value(QStringLiteral("type")).toString() == QLatin1String("page") &&
                    !c.known.contains(id) && c.popup.isEmpty()) {
                    c.popup = id;
                    created(c);
                }
            } else if (method == QLatin1String("Target.targetDestroyed") && !c.popup.isEmpty() &&
                       params.value(QStringLiteral("targetId")).toString() == c.popup) {
                gone(c);
            }
        });
    return c.hands.call(QStringLiteral("Target.setDiscoverTargets"), {{"discover", true}})
        .error.isEmpty();
}

void print(const QString& what, const QList<double>& values, int missed = -1) {
    const Stats s = stats(values);
    std::printf("%-34s n=%3lld  median %7.1f  p90 %7.1f  max %7.1f ms", qPrintable(what),
                static_cast<long long>(values.size()), s.median, s.p90, s.max);
    if (missed > 0)
        std::printf("  (%d missed)", missed);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    TestEnvironment::isolate(); // the bridge and the server meet in this run's runtime folder
    QCoreApplication app(argc, argv);
    const int clicks = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    LocalHttpServer web;
    if (!web.start())
        return 1;
    servePages(web);

    // The program's side: one collection with the extension's browser and the DevTools browser,
    // the real blocking cycle over it, no delay between its steps.
    SystemClock clock;
    BrowserCollection guarded;
    BlockingHarness h{guarded, clock};
    h.options.popupKillSpeed = QStringLiteral("0");
    ExtensionRig::Program program(guarded, h.state);
    if (!program.start()) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(program.server->errorString()));
        return 1;
    }

    Browser floor, ours, devtools;
    const QString source = QStringLiteral(PAGEWARDEN_SOURCE);
    if (!ExtensionRig::startChromium(floor.process, source + "/bench/extension-floor") ||
        !ExtensionRig::startChromium(ours.process, source + "/extension", PAGEWARDEN_BRIDGE) ||
        !devtools.process.start()) {
        std::fprintf(stderr, "cannot start the browsers: %s %s %s\n",
                     qPrintable(floor.process.lastError()), qPrintable(ours.process.lastError()),
                     qPrintable(devtools.process.lastError()));
        return 1;
    }
    ChromiumBrowser adapter(GuardedChromium::attachTo(devtools.process.endpoint()));
    adapter.start();
    guarded.addMember(&adapter);

    // The extension's browser as the program sees it, and how long its records wait for a title.
    const auto titleWait = [&](int ms) {
        for (ExtensionBrowser* member : program.server->browsers())
            member->setTitleTimeout(ms);
    };
    QList<Series> series{
        {QStringLiteral("floor extension"), &floor},
        {QStringLiteral("Pagewarden extension"), &ours, [&] { titleWait(kProgramTitleWaitMs); }},
        {QStringLiteral("DevTools route"), &devtools},
        // Diagnostic: the same route with records that do not wait for the popup's title.
        {QStringLiteral("Pagewarden ext., no title wait"), &ours, [&] { titleWait(0); }},
    };

    // The click under way and the program's steps for it.
    int click = 0;
    const int total = (kWarmUp + clicks) * static_cast<int>(series.size());
    const auto current = [&]() -> Series& { return series[click % series.size()]; };
    double createdAt = 0, enteredAt = 0, wokeAt = 0, closedAt = 0, goneAt = 0;
    bool finished = false;
    int baseline = 0;
    QTimer giveUp;
    giveUp.setSingleShot(true);

    std::function<void()> next = [&] {
        if (click == total) {
            finished = true;
            return;
        }
        Series& s = current();
        if (s.before)
            s.before();
        createdAt = enteredAt = wokeAt = closedAt = goneAt = 0;
        s.in->popup.clear();
        s.in->hands.click(s.in->tab, 100, 100);
        giveUp.start(kGiveUpMs);
    };
    const auto counted = [&] { return click / static_cast<int>(series.size()) >= kWarmUp; };
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        std::fprintf(stderr, "%s: click %d, popup not gone in time\n", qPrintable(current().name),
                     click);
        if (counted())
            ++current().missed;
        current().in->popup.clear();
        ++click;
        QTimer::singleShot(kGapMs, next);
    });
    const auto created = [&](Browser& b) {
        if (&b == current().in && createdAt == 0)
            createdAt = wallMs();
    };
    const auto gone = [&](Browser& b) {
        if (&b != current().in || goneAt != 0)
            return;
        giveUp.stop();
        goneAt = wallMs();
        // The page's own clock at the click, read once the popup is gone.
        b.hands.client()->send(
            QStringLiteral("Runtime.evaluate"),
            {{"expression", "window.lastClick"}, {"returnByValue", true}}, b.tab, nullptr,
            [&](const DevToolsReply& reply) {
                const double at = reply.result.value("result").toObject().value("value").toDouble();
                Series& s = current();
                if (counted() && at > 0) {
                    s.gone.append(goneAt - at);
                    if (createdAt > 0)
                        s.created.append(createdAt - at);
                    if (enteredAt > 0 && wokeAt > 0 && closedAt > 0) {
                        s.entered.append(enteredAt - at);
                        s.woke.append(wokeAt - at);
                        s.closed.append(closedAt - at);
                    }
                }
                ++click;
                QTimer::singleShot(kGapMs, next);
            });
    };
    // The program's steps, seen from its side: the count up (entered), the pass's first wait
    // (woke), the count back (the close sent).
    QObject::connect(&guarded, &BrowserWindows::countChanged, [&] {
        const int now = guarded.count().value_or(0);
        if (now > baseline && enteredAt == 0)
            enteredAt = wallMs();
        else if (now == baseline && enteredAt > 0 && closedAt == 0)
            closedAt = wallMs();
    });
    h.controller.surveyPass().setDelayObserver([&](double) {
        if (enteredAt > 0 && wokeAt == 0)
            wokeAt = wallMs();
    });

    const QString page = web.url("/click.html");
    for (Browser* b : {&floor, &ours, &devtools}) {
        if (!watch(*b, page, created, gone)) {
            std::fprintf(stderr, "a browser cannot show the page\n");
            return 1;
        }
    }
    // Both of the program's browsers guarded, each with its one tab.
    if (!waitFor([&] { return guarded.count() == std::optional<int>(2); }, 60000)) {
        std::fprintf(stderr, "the program did not see both browsers (count %d)\n",
                     guarded.count().value_or(-1));
        return 1;
    }
    baseline = 2;

    std::printf(
        "%s; %d clicks per closer after %d not counted, alternating; kill delay 0\n",
        qPrintable(floor.hands.call("Browser.getVersion").result.value("product").toString()),
        clicks, kWarmUp);
    QTimer::singleShot(500, next);
    GuardedChromium::runCycleUntil(
        h, [&] { return finished; }, 3600 * 1000);

    std::printf("click -> popup gone:\n");
    for (const Series& s : series)
        print("  " + s.name, s.gone, s.missed);
    for (const Series& s : series) {
        std::printf("%s, click -> each step:\n", qPrintable(s.name));
        print(QStringLiteral("  the browser shows the popup"), s.created);
        if (s.woke.isEmpty())
            continue;
        print(QStringLiteral("  popup entered the mirror"), s.entered);
        print(QStringLiteral("  survey pass woke"), s.woke);
        print(QStringLiteral("  close sent (count back)"), s.closed);
    }
    const double floorMedian = stats(series[0].gone).median;
    const double oursMedian = stats(series[1].gone).median;
    const double bound = kGoalFactor * floorMedian; // the options ask for no delay here
    std::printf("goal: extension median %.1f ms <= %.1f x floor %.1f = %.1f ms: %s\n", oursMedian,
                kGoalFactor, floorMedian, bound, oursMedian <= bound ? "holds" : "does NOT hold");
    program.stop();
    return 0;
}
