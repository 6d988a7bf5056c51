// The real blocking cycle, survey pass and redirect pass through the Chromium adapter against a
// real, headless Chromium: popups opened by clicks are closed and logged (noopener or not), tabs
// are left alone, a tab that turns to a listed page is sent home, slow pages are logged by the
// address they were opened for, "Kill new browsers" tells windows apart, and a popup to an allowed
// site stays open.
#include "allow/AllowedSites.h"
#include "e2e/ChromiumFixture.h"
#include "support/TestMain.h"

class TestSurveyPassChromium : public ChromiumFixture {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(servePages(server));
    }

    void cleanup() { stop(); }

    void cycle_closesAndLogsPopups_sparesTabs_sendsAHijackedTabHome_andNamesSlowWindowsRight() {
        // The allowed site's name leads to the test server; one click may open two popups.
        QVERIFY(start("/mixed.html", {"--host-resolver-rules=MAP signin.example 127.0.0.1",
                                      "--disable-popup-blocking"}));
        rig->harness.options.popupKillSpeed = QStringLiteral(".2");
        rig->harness.settings.desiredHomeUrl = server.url("/tab.html");
        const WindowKey first = rig->browser.enumerate().first();
        int step = 0;
        int opened = 1;
        QVERIFY(rig->runCycleUntil(
            [&] {
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
                    // The pass that closed it walked the tab before it. Now, with a short delay,
                    // one popup after another; unnamed, as a named one would reuse the window the
                    // browser is still closing. One lets go of its opener: a popup all the same.
                    rig->harness.options.popupKillSpeed = QStringLiteral(".05");
                    act(opened == 3 ? "window.open('/popup.html', '_blank', "
                                      "'noopener,width=400,height=300')"
                                    : "window.open('/popup.html', '_blank', 'width=320')");
                    ++opened;
                } else if (step == 2 && bothTabs && killed == 5) {
                    // The count does not change as the first tab turns to a listed page: only
                    // the periodic redirect pass sees it, once the page is there.
                    driver->client()->send("Page.navigate", {{"url", server.url("/hijacker.html")}},
                                           tab);
                    step = 3;
                } else if (step == 3 && rig->browser.documentTitle(first) == "Hijacker") {
                    rig->harness.settings.hijackPatterns = {QStringLiteral("/hijack")};
                    step = 4;
                }
                return step == 4 && bothTabs && rig->harness.logLines().size() >= 6 &&
                       rig->browser.locationUrl(first) == server.url("/tab.html");
            },
            90000, 2000)); // the redirect pass runs every 2 s, as once the window is in the tray
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        QCOMPARE(rig->harness.state.popupsTerminated, 5);
        const QStringList lines = rig->harness.logLines(); // the day's separator is not here
        for (const QString& line : lines.first(5))
            QVERIFY2(line.startsWith(server.url("/popup.html") + "<===>"), qPrintable(line));
        QVERIFY2(lines.at(5).startsWith(server.url("/hijacker.html") + "<===>Hijacker") &&
                     lines.at(5).contains(" , redirected to " + server.url("/tab.html")),
                 qPrintable(lines.at(5)));

        // Again, with a server that takes 1.5 s, far longer than the delay: every window is judged
        // and logged while it still shows its initial empty page. First a new browser window,
        // opened as a user opens one, under "Kill new browsers"; then a popup to a listed page.
        rig->harness.options.popupKillSpeed = QStringLiteral(".1");
        rig->harness.options.killBrowsersOn = true;
        const QList<WindowKey> tabs = rig->browser.enumerate();
        const QString slow = server.url("/slow.html");
        step = 0;
        QVERIFY(rig->runCycleUntil([&] {
            const int killed = rig->harness.state.popupsTerminated; // counted afresh
            const bool justTheTabs = rig->browser.count() == std::optional<int>(2);
            if (step == 0) {
                driver->client()->send("Target.createTarget", {{"url", slow}, {"newWindow", true}});
                step = 1;
            } else if (step == 1 && killed == 1 && justTheTabs) {
                rig->harness.options.killBrowsersOn = false;
                rig->harness.settings.hijackPatterns = {QStringLiteral("/slow.html")};
                act("window.open('/slow.html', 'ad', 'width=320')");
                step = 2;
            }
            return step == 2 && killed == 2 && justTheTabs;
        }));
        QCOMPARE(rig->browser.enumerate(), tabs); // the tabs are spared
        const QStringList slowLines = rig->harness.logLines().mid(6);
        QVERIFY2(slowLines.size() >= 2 && slowLines.at(0).startsWith(slow + "<===>") &&
                     slowLines.at(1).startsWith(slow + "<===>") &&
                     slowLines.at(1).contains(" , redirected to " + server.url("/tab.html")) &&
                     slowLines.filter("about:blank").isEmpty(),
                 qPrintable(slowLines.join('\n')));

        // One click opens a popup to an allowed site and another one: only the other is closed.
        // Once the allowed one has loaded, a further pass leaves it alone too.
        rig->harness.settings.hijackPatterns.clear();
        rig->harness.settings.put_option("signin.example", AllowedSites::storedKey);
        const QString signin = QString("http://signin.example:%1/signin.html").arg(server.port());
        bool clicked = false;
        QStringList seen;
        const bool reached = rig->runCycleUntil([&] {
            if (!std::exchange(clicked, true))
                act(QString("window.open('%1', 's', 'width=320'); window.open('/popup.html', "
                            "'_blank', 'width=320')")
                        .arg(signin));
            const QList<WindowKey> keys = rig->browser.enumerate();
            seen.clear();
            for (const WindowKey key : keys)
                seen << rig->browser.locationUrl(key).value_or("?");
            return rig->harness.state.popupsTerminated == 1 && keys.size() == 3 &&
                   rig->browser.documentTitle(keys.last()) == "Sign in";
        });
        QVERIFY2(reached,
                 qPrintable(seen.join(' ') +
                            QString(" closed: %1").arg(rig->harness.state.popupsTerminated)));
        QCOMPARE(rig->harness.forcedPass(), SurveyPass::Outcome::Walked);
        const QList<WindowKey> open = rig->browser.enumerate();
        QCOMPARE(open.size(), 3);
        QCOMPARE(rig->browser.locationUrl(open.last()), signin);
        QVERIFY(isPopup(open.last()));
        QCOMPARE(rig->harness.state.popupsTerminated, 1);
        QVERIFY(rig->harness.logLines().filter("signin.example").isEmpty());
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPassChromium, QCoreApplication)
#include "test_survey_pass_chromium.moc"
