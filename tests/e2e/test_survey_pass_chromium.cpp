// The real blocking cycle, survey pass and redirect pass through the Chromium adapter against a
// real, headless Chromium: popups opened by clicks are closed and logged, tabs are left alone,
// slow pages are logged by the address they were opened for, "Kill new browsers" tells windows
// apart, and a window that turns to a listed page is sent home.
#include "e2e/ChromiumFixture.h"
#include "support/TestMain.h"

class TestSurveyPassChromium : public ChromiumFixture {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(server.start());
        // Left: a button that opens a popup. Right: a link that opens a tab.
        server.setHtml(
            "/mixed.html", "Mixed",
            "<button style=\"position:fixed;left:0;top:0;width:300px;height:300px\" "
            "onclick=\"window.open('/popup.html', 'ad', 'width=320,height=240')\">ad</button>"
            "<a href=\"/tab.html\" target=\"_blank\" style=\"position:fixed;left:400px;top:0;"
            "width:300px;height:300px;display:block\">tab</a>");
        server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        server.setHtml("/slow.html", "Slow Ad", "<p>at last</p>");
        server.setDelay("/slow.html", 1500);
        server.setHtml("/hijacker.html", "Hijacker", "<p>search here</p>");
    }

    void init() { QVERIFY(start("/mixed.html")); }
    void cleanup() { stop(); }

    void cycle_closesAndLogsClickedPopups_andLeavesATabAlone() {
        rig->harness.options.popupKillSpeed = QStringLiteral(".2");
        int step = 0;
        int opened = 1;
        QVERIFY(rig->runCycleUntil([&] {
            const int killed = rig->harness.state.popupsTerminated;
            const bool bothTabs = rig->browser.count() == std::optional<int>(2);
            if (step == 0) { // the cycle is waiting for a change: open a tab
                driver->click(tab, 500, 100);
                step = 1;
            } else if (step == 1 && bothTabs) {
                // The new tab came to the front: back to the first one, and click a popup.
                driver->client()->send(QStringLiteral("Page.bringToFront"), {}, tab);
                driver->click(tab, 100, 100);
                step = 2;
            } else if (step == 2 && bothTabs && killed == opened && opened < 5) {
                // The pass that closed it walked the tab before it. Now, with a short delay, one
                // popup after another; unnamed, as a named one would reuse the window the browser
                // is still closing.
                rig->harness.options.popupKillSpeed = QStringLiteral(".05");
                act("window.open('/popup.html', '_blank', 'width=320')");
                ++opened;
            }
            return step == 2 && killed == 5 && bothTabs;
        }));
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        const QStringList lines = rig->harness.logLines();
        QCOMPARE(lines.size(), 5); // the popups (the day's separator comes from StartBlocking)
        for (const QString& line : lines)
            QVERIFY2(line.startsWith(server.url("/popup.html") + "<===>"), qPrintable(line));
    }

    void slowPages_areLoggedByTheAddressTheyWereOpenedFor_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("popup") << "popup";
        QTest::newRow("new browser window") << "new browser";
        QTest::newRow("hijacked popup") << "hijack";
    }

    void slowPages_areLoggedByTheAddressTheyWereOpenedFor() {
        // The server takes 1.5 s, far longer than the delay: every window is judged and logged
        // while it still shows its initial empty page.
        QFETCH(QString, how);
        rig->harness.options.popupKillSpeed = QStringLiteral(".1");
        const WindowKey first = rig->browser.enumerate().first();
        const QString slow = server.url("/slow.html");
        rig->harness.options.killBrowsersOn = how == "new browser";
        if (how == "hijack") {
            rig->harness.settings.hijackPatterns = {QStringLiteral("/slow.html")};
            rig->harness.settings.desiredHomeUrl = server.url("/tab.html");
        }
        bool asked = false;
        QVERIFY(rig->runCycleUntil([&] {
            if (!asked && how == "new browser") // as a user opens one
                driver->client()->send("Target.createTarget", {{"url", slow}, {"newWindow", true}});
            else if (!asked)
                act("window.open('/slow.html', 'ad', 'width=320')");
            asked = true;
            return rig->harness.state.popupsTerminated == 1 &&
                   rig->browser.count() == std::optional<int>(1);
        }));
        QCOMPARE(rig->browser.enumerate(), QList<WindowKey>{first}); // the first one is spared
        const QStringList lines = rig->harness.logLines();
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.first().startsWith(slow + "<===>"), qPrintable(lines.join('\n')));
        if (how == "hijack")
            QVERIFY2(lines.first().contains(" , redirected to " + server.url("/tab.html")),
                     qPrintable(lines.first()));
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith("about:blank"), qPrintable(line));
    }

    void windowOpenAllAlong_thatTurnsToAListedPage_isSentHomeByThePeriodicPass() {
        // The window count does not change: only the redirect pass sees it.
        rig->harness.options.popupKillSpeed = QStringLiteral(".05");
        rig->harness.settings.hijackPatterns = {QStringLiteral("/hijack")};
        rig->harness.settings.desiredHomeUrl = server.url("/tab.html");
        const WindowKey first = rig->browser.enumerate().first();
        bool navigated = false;
        QVERIFY(rig->runCycleUntil(
            [&] {
                if (!navigated)
                    driver->client()->send("Page.navigate", {{"url", server.url("/hijacker.html")}},
                                           tab);
                navigated = true;
                return rig->browser.locationUrl(first) == server.url("/tab.html") &&
                       !rig->harness.logLines().isEmpty();
            },
            90000, 2000)); // the pass runs every 2 s once the window is in the tray
        QCOMPARE(rig->browser.enumerate(), QList<WindowKey>{first});
        const QString line = rig->harness.logLines().first();
        QVERIFY2(line.startsWith(server.url("/hijacker.html") + "<===>Hijacker") &&
                     line.contains(" , redirected to " + server.url("/tab.html")),
                 qPrintable(line));
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPassChromium, QCoreApplication)
#include "test_survey_pass_chromium.moc"
