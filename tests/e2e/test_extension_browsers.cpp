// The extension route end to end in a real headless Chromium and firefox-esr: each loads
// extension/ and finds pagewarden-bridge through a host manifest (Chromium's in its profile,
// Firefox's written by the program into the test's HOME); the program's server, the collection and
// the real blocking cycle guard it, then a second Chromium beside it. Clicks go over DevTools/BiDi.
#include "e2e/ChromiumFixture.h"
#include "platform/BrowserRoutes.h"
#include "support/ExtensionRig.h"
#include "support/FirefoxProcess.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QtTest>
#include <functional>

// The user's tab in the everyday browser, as the test's hands reach it. Only show() waits.
struct UserTab {
    std::function<void(int, int)> click; // brought to the front first
    std::function<void()> openNewWindow; // from a click or the browser's own hands
    std::function<void(const QString&)> navigate;
    std::function<bool(const QString&)> show;
    std::function<int()> pages;
};

class TestExtensionBrowsers : public QObject {
    Q_OBJECT

    LocalHttpServer web;
    SystemClock clock;
    struct Guard { // the program, fresh for each browser
        explicit Guard(SystemClock& clock) : h(guarded, clock) {}
        BrowserCollection guarded;
        BlockingHarness h;
        ExtensionRig::Program program{guarded, h.state};
    };
    std::unique_ptr<Guard> g;

    bool startProgram(bool slowTitles) {
        if (!g->program.start())
            return false;
        if (slowTitles) // this machine's Firefox may be slow to name a new page's title
            connect(g->program.server.get(), &ConnectorServer::browserConnected, this,
                    [](ExtensionBrowser* member) { member->setTitleTimeout(3000); });
        return true;
    }
    // The panel's status line, as the program makes it from the connected browsers.
    QString statusLine() const {
        QStringList names;
        for (const ExtensionBrowser* member : g->program.server->browsers())
            names << member->browserName();
        return BrowserRoutes::statusLine(names, QString(), false);
    }

private slots:
    void initTestCase() { QVERIFY(servePages(web)); }
    void init() { g = std::make_unique<Guard>(clock); }
    void cleanup() { g.reset(); }

    void everydayBrowser_guardedThroughItsExtension_data() {
        QTest::addColumn<bool>("firefox");
        QTest::addColumn<QString>("newWindowLine"); // how the closed new window is logged
        QTest::addColumn<int>("findWithinMs");      // after the program starts
        // Firefox first: its home holds no other browser yet when the program writes manifests.
        QTest::newRow("Firefox") << true << web.url("/tab.html") + "<===>A Tab" << kWait;
        QTest::newRow("Chromium") << false << web.url("/tab.html?new") + "<===>" << 3000;
    }
    void everydayBrowser_guardedThroughItsExtension() {
        QFETCH(bool, firefox);
        QFETCH(QString, newWindowLine);
        QFETCH(int, findWithinMs);
        if (ChromiumProcess::executable().isEmpty() ||
            (firefox && FirefoxProcess::executable().isEmpty()))
            QSKIP("a browser is missing");
        BrowserCollection& guarded = g->guarded;
        BlockingHarness& h = g->h;
        const QString mixed = web.url("/mixed.html");

        ChromiumProcess chromium;
        DevToolsDriver hands;
        FirefoxProcess fox;
        QString tab;
        UserTab user;
        if (firefox) {
            // The program writes Firefox's host manifest into the home it finds Firefox in.
            const QString home = TestEnvironment::home();
            QVERIFY(QDir().mkpath(home + "/.mozilla"));
            const QList<HostManifests::Outcome> written =
                HostManifests::install(home, PAGEWARDEN_BRIDGE);
            QVERIFY(written.size() == 1 && written[0].browser == "Firefox" &&
                    written[0].kind == HostManifests::Outcome::Kind::Written);
            QVERIFY2(fox.start(home), qPrintable(fox.lastError()));
            const QJsonObject extension{{"type", "path"}, {"path", PAGEWARDEN_EXTENSION}};
            QCOMPARE(fox.call("webExtension.install", {{"extensionData", extension}})
                         .value("extension")
                         .toString(),
                     HostManifests::firefoxExtensionId);
            tab = fox.firstTab();
            QVERIFY(fox.show(tab, mixed));
            // The blocker is on: a window opened without a click is refused.
            const QJsonObject unasked =
                fox.call("script.evaluate",
                         {{"expression", "window.open('/popup.html', '_blank', 'popup') === null"},
                          {"target", QJsonObject{{"context", tab}}},
                          {"awaitPromise", false}});
            QCOMPARE(unasked["result"]["value"].toBool(), true);
            DevToolsClient* bidi = fox.client(); // sends without waiting, as the cycle runs
            user.click = [&, bidi](int x, int y) {
                bidi->send("browsingContext.activate", {{"context", tab}});
                fox.click(tab, x, y);
            };
            user.openNewWindow = [&, bidi] { // the link, into a new window
                bidi->send("browsingContext.activate", {{"context", tab}});
                fox.click(tab, 500, 100, true);
            };
            user.navigate = [&, bidi](const QString& url) {
                bidi->send("browsingContext.navigate", {{"context", tab}, {"url", url}});
            };
            user.show = [&](const QString& url) { return fox.show(tab, url); };
            user.pages = [&] {
                return int(fox.call("browsingContext.getTree", {{"maxDepth", 0}})
                               .value("contexts")
                               .toArray()
                               .size());
            };
        } else {
            QVERIFY2(ExtensionRig::startChromium(chromium, PAGEWARDEN_EXTENSION, PAGEWARDEN_BRIDGE),
                     qPrintable(chromium.lastError()));
            tab = ExtensionRig::showInFirstTab(hands, chromium.endpoint(), mixed);
            QVERIFY(!tab.isEmpty());
            user.click = [&](int x, int y) {
                hands.client()->send(QStringLiteral("Page.bringToFront"), {}, tab);
                hands.click(tab, x, y);
            };
            user.openNewWindow = [&] {
                hands.client()->send("Target.createTarget",
                                     {{"url", web.url("/tab.html?new")}, {"newWindow", true}});
            };
            user.navigate = [&](const QString& url) {
                hands.client()->send("Page.navigate", {{"url", url}}, tab);
            };
            user.show = [&](const QString& url) {
                hands.call(QStringLiteral("Page.navigate"), {{"url", url}}, tab);
                return hands.waitUntilShown(tab, url);
            };
            user.pages = [&] { return int(hands.pageIds().size()); };
        }

        // The program starts after the browser, whose bridge is waiting.
        const QStringList ourBridge{"-f", "^" PAGEWARDEN_BRIDGE " "};
        QTRY_VERIFY_WITH_TIMEOUT(QProcess::execute("pgrep", ourBridge) == 0, kWait);
        QVERIFY(startProgram(firefox));
        QTRY_COMPARE_WITH_TIMEOUT(g->program.server->browsers().size(), 1, findWithinMs);
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 1, kWait);
        const WindowKey first = guarded.enumerate().first();
        QTRY_COMPARE_WITH_TIMEOUT(guarded.documentTitle(first), QStringLiteral("Mixed"), kWait);
        const QString name = firefox ? "Firefox" : "Chromium";
        QVERIFY2(statusLine().startsWith("Guarding " + name + " 1"), qPrintable(statusLine()));
        QCOMPARE(h.state.existingWindowHandles,
                 QStringList{QString::number(*guarded.handle(first))});

        // A link's tab is spared, a click's popup is closed, a new window goes under "Kill new
        // browsers", and the user's tab sent to a listed page is sent home.
        h.options.popupKillSpeed = QStringLiteral(".2");
        h.settings.desiredHomeUrl = web.url("/tab.html");
        int step = 0;
        QVERIFY(GuardedChromium::runCycleUntil(
            h,
            [&] {
                const int killed = h.state.popupsTerminated;
                const bool bothTabs = guarded.count() == std::optional<int>(2);
                if (step == 0) {
                    user.click(500, 100);
                    step = 1;
                } else if (step == 1 && bothTabs) {
                    user.click(100, 100);
                    step = 2;
                } else if (step == 2 && bothTabs && killed == 1) {
                    h.options.killBrowsersOn = true;
                    user.openNewWindow();
                    step = 3;
                } else if (step == 3 && bothTabs && killed == 2) {
                    h.options.killBrowsersOn = false;
                    user.navigate(web.url("/hijacker.html"));
                    step = 4;
                } else if (step == 4 && guarded.documentTitle(first) == "Hijacker") {
                    h.settings.hijackPatterns = {QStringLiteral("/hijack")};
                    step = 5;
                }
                return step == 5 && bothTabs && h.logLines().size() >= 3 &&
                       guarded.locationUrl(first) == web.url("/tab.html");
            },
            90000, 1000));
        QStringList lines = h.logLines();
        QVERIFY2(lines.size() == 3 &&
                     lines[0].startsWith(web.url("/popup.html") + "<===>Popup Ad") &&
                     lines[1].startsWith(newWindowLine) &&
                     lines[2].startsWith(web.url("/hijacker.html") + "<===>Hijacker") &&
                     lines[2].contains(" , redirected to " + web.url("/tab.html")),
                 qPrintable(lines.join('\n')));
        QTRY_COMPARE_WITH_TIMEOUT(user.pages(), 2, kWait);

        // The program ends and starts again: the browser is found again, with both its tabs.
        g->program.stop();
        QCOMPARE(guarded.members().size(), 0);
        QVERIFY(startProgram(firefox));
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 2, kWait);

        // A second browser guarded at the same time: a popup in each is closed.
        ChromiumProcess other;
        QVERIFY2(firefox
                     ? ExtensionRig::startChromium(other, PAGEWARDEN_EXTENSION, PAGEWARDEN_BRIDGE)
                     : other.start(),
                 qPrintable(other.lastError()));
        std::unique_ptr<ChromiumBrowser> second; // beside Chromium: on the DevTools route
        if (!firefox) {
            second = std::make_unique<ChromiumBrowser>(GuardedChromium::attachTo(other.endpoint()));
            second->start();
            guarded.addMember(second.get());
        }
        DevToolsDriver otherHands;
        const QString otherTab = ExtensionRig::showInFirstTab(otherHands, other.endpoint(), mixed);
        QVERIFY(!otherTab.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 3, kWait);
        if (firefox) { // both on the extension route, both named, in either order
            const QString status = statusLine();
            QVERIFY2(QRegularExpression("^Guarding (Firefox|Chromium) 1\\d\\d \\(extension\\) and "
                                        "(Firefox|Chromium) 1\\d\\d \\(extension\\)$")
                             .match(status)
                             .hasMatch() &&
                         status.contains("Firefox") && status.contains("Chromium"),
                     qPrintable(status));
        }
        QVERIFY(user.show(mixed));
        step = 0;
        const bool both = GuardedChromium::runCycleUntil(h, [&] {
            if (step++ == 0) {
                user.click(100, 100);
                otherHands.click(otherTab, 100, 100);
            }
            return h.state.popupsTerminated == 2 && guarded.count() == std::optional<int>(3);
        });
        lines = h.logLines().mid(3);
        QVERIFY2(both && lines.size() == 2 &&
                     lines.filter(web.url("/popup.html") + "<===>Popup Ad").size() == 2,
                 qPrintable(lines.join('\n')));
    }
};

PAGEWARDEN_TEST_MAIN(TestExtensionBrowsers, QCoreApplication)
#include "test_extension_browsers.moc"
