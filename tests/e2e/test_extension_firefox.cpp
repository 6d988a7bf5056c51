// The extension route in Firefox end to end: a real headless firefox-esr, whose HOME is the test's
// own, gets extension/ installed over WebDriver BiDi and finds pagewarden-bridge through the host
// manifest the program writes into ~/.mozilla/native-messaging-hosts; its popup blocker stays on.
// The program's server, the collection and the real blocking cycle guard it, and then a Chromium
// on the same route beside it. The test clicks and reads over BiDi.
#include "e2e/ChromiumFixture.h"
#include "platform/BrowserRoutes.h"
#include "support/ExtensionRig.h"
#include "support/FirefoxProcess.h"
#include "support/TestMain.h"

class TestExtensionFirefox : public QObject {
    Q_OBJECT

    LocalHttpServer web;
    SystemClock clock;
    BrowserCollection guarded;
    BlockingHarness h{guarded, clock};
    ExtensionRig::Program program{guarded, h.state};

    bool startProgram() {
        if (!program.start())
            return false;
        // This machine's browsers may be slow to name a new page's title.
        connect(program.server.get(), &ConnectorServer::browserConnected, this,
                [](ExtensionBrowser* member) { member->setTitleTimeout(3000); });
        return true;
    }
    // The panel's status line, as the program makes it from the connected browsers.
    QString statusLine() const {
        QStringList names;
        for (const ExtensionBrowser* member : program.server->browsers())
            names << member->browserName();
        return BrowserRoutes::statusLine(names, QString(), false);
    }

private slots:
    void initTestCase() {
        if (FirefoxProcess::executable().isEmpty())
            QSKIP("no Firefox installed");
        QVERIFY(servePages(web));
    }

    void everydayFirefox_guardedThroughItsExtension() {
        // The program writes Firefox's host manifest into the home it finds Firefox in.
        const QString home = TestEnvironment::home();
        QVERIFY(QDir().mkpath(home + "/.mozilla"));
        const QList<HostManifests::Outcome> written =
            HostManifests::install(home, PAGEWARDEN_BRIDGE);
        QVERIFY(written.size() == 1 && written[0].browser == "Firefox" &&
                written[0].kind == HostManifests::Outcome::Kind::Written);

        FirefoxProcess firefox;
        QVERIFY2(firefox.start(home), qPrintable(firefox.lastError()));
        QCOMPARE(firefox
                     .call("webExtension.install",
                           {{"extensionData",
                             QJsonObject{{"type", "path"}, {"path", PAGEWARDEN_EXTENSION}}}})
                     .value("extension")
                     .toString(),
                 HostManifests::firefoxExtensionId);
        const QString tab = firefox.firstTab();
        QVERIFY(firefox.show(tab, web.url("/mixed.html")));
        // The blocker is on: a window opened without a click is refused.
        const QJsonObject unasked = firefox.call(
            "script.evaluate", {{"expression", "window.open('/popup.html', '_blank', 'popup') "
                                               "=== null"},
                                {"target", QJsonObject{{"context", tab}}},
                                {"awaitPromise", false}});
        QCOMPARE(unasked["result"]["value"].toBool(), true);

        QVERIFY(startProgram());
        QTRY_COMPARE_WITH_TIMEOUT(program.server->browsers().size(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 1, kWait);
        const WindowKey first = guarded.enumerate().first();
        QTRY_COMPARE_WITH_TIMEOUT(guarded.documentTitle(first), QStringLiteral("Mixed"), kWait);
        QVERIFY2(statusLine().startsWith("Guarding Firefox 1"), qPrintable(statusLine()));
        QCOMPARE(h.state.existingWindowHandles,
                 QStringList{QString::number(*guarded.handle(first))});

        // A link's tab is spared, a click's popup is closed, a link opened into a new window goes
        // under "Kill new browsers", and the user's tab sent to a listed page is sent home.
        h.options.popupKillSpeed = QStringLiteral(".2");
        h.settings.desiredHomeUrl = web.url("/tab.html");
        DevToolsClient* bidi = firefox.client(); // sends without waiting, as the cycle runs
        int step = 0;
        QVERIFY(GuardedChromium::runCycleUntil(
            h,
            [&] {
                const int killed = h.state.popupsTerminated;
                const bool bothTabs = guarded.count() == std::optional<int>(2);
                if (step == 0) {
                    firefox.click(tab, 500, 100);
                    step = 1;
                } else if (step == 1 && bothTabs) {
                    bidi->send("browsingContext.activate", {{"context", tab}});
                    firefox.click(tab, 100, 100);
                    step = 2;
                } else if (step == 2 && bothTabs && killed == 1) {
                    h.options.killBrowsersOn = true;
                    bidi->send("browsingContext.activate", {{"context", tab}});
                    firefox.click(tab, 500, 100, true); // the link, into a new window
                    step = 3;
                } else if (step == 3 && bothTabs && killed == 2) {
                    h.options.killBrowsersOn = false;
                    bidi->send("browsingContext.navigate",
                               {{"context", tab}, {"url", web.url("/hijacker.html")}});
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
                     lines[1].startsWith(web.url("/tab.html") + "<===>A Tab") &&
                     lines[2].startsWith(web.url("/hijacker.html") + "<===>Hijacker") &&
                     lines[2].contains(" , redirected to " + web.url("/tab.html")),
                 qPrintable(lines.join('\n')));
        QTRY_COMPARE_WITH_TIMEOUT(firefox.call("browsingContext.getTree", {{"maxDepth", 0}})
                                      .value("contexts")
                                      .toArray()
                                      .size(),
                                  2, kWait);

        // The program ends and starts again: Firefox is found again, with both its tabs.
        program.stop();
        QCOMPARE(guarded.members().size(), 0);
        QVERIFY(startProgram());
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 2, kWait);

        // A Chromium on the extension route beside it: both are named, a popup in each is closed.
        ChromiumProcess chromium;
        QVERIFY2(ExtensionRig::startChromium(chromium, PAGEWARDEN_EXTENSION, PAGEWARDEN_BRIDGE),
                 qPrintable(chromium.lastError()));
        DevToolsDriver hands;
        const QString other =
            ExtensionRig::showInFirstTab(hands, chromium.endpoint(), web.url("/mixed.html"));
        QVERIFY(!other.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 3, kWait);
        const QString status = statusLine(); // in either order
        QVERIFY2(QRegularExpression("^Guarding (Firefox|Chromium) 1\\d\\d \\(extension\\) and "
                                    "(Firefox|Chromium) 1\\d\\d \\(extension\\)$")
                         .match(status)
                         .hasMatch() &&
                     status.contains("Firefox") && status.contains("Chromium"),
                 qPrintable(status));
        QVERIFY(firefox.show(tab, web.url("/mixed.html")));
        step = 0;
        const bool both = GuardedChromium::runCycleUntil(h, [&] {
            if (step++ == 0) {
                bidi->send("browsingContext.activate", {{"context", tab}});
                firefox.click(tab, 100, 100);
                hands.click(other, 100, 100);
            }
            return h.state.popupsTerminated == 2 && guarded.count() == std::optional<int>(3);
        });
        lines = h.logLines().mid(3);
        QVERIFY2(both && lines.size() == 2 &&
                     lines.filter(web.url("/popup.html") + "<===>Popup Ad").size() == 2,
                 qPrintable(lines.join('\n')));
    }
};

PAGEWARDEN_TEST_MAIN(TestExtensionFirefox, QCoreApplication)
#include "test_extension_firefox.moc"
