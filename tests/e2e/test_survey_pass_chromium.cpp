// The real blocking cycle and survey pass through the Chromium adapter against a real, headless
// Chromium: popups opened by clicks are closed and logged, tabs are left alone, slow pages are
// logged by the address they were opened for, and "Kill new browsers" tells windows apart.
#include "e2e/ChromiumFixture.h"
#include "support/TestMain.h"

class TestSurveyPassChromium : public ChromiumFixture {
    Q_OBJECT

    // What the mirror holds, for a failure's message.
    void dump() {
        for (WindowKey key : rig->browser.enumerate())
            qWarning() << "window" << key << rig->browser.locationUrl(key).value_or("?") << "popup"
                       << rig->browser.hasOpener(key).value_or(false)
                       << !rig->browser.menuBar(key).value_or(true) << "handle"
                       << rig->browser.handle(key).value_or(-1);
        qWarning() << "killed" << rig->harness.state.popupsTerminated << rig->browser.status();
    }

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
    }

    void cleanup() { stop(); }

    void cycle_closesAndLogsAClickedPopup_andLeavesATabAlone() {
        QVERIFY(start("/mixed.html"));
        rig->harness.options.popupKillSpeed = QStringLiteral(".2");
        int step = 0;
        const bool reached = rig->runCycleUntil([&] {
            if (step == 0) { // the cycle is waiting for a change: open a tab
                clickSoon(500, 100);
                step = 1;
            } else if (step == 1 && rig->browser.count() == std::optional<int>(2)) {
                clickSoon(100, 100); // now a popup
                step = 2;
            }
            // The pass that closed the popup walked the tab before it.
            return step == 2 && rig->harness.state.popupsTerminated == 1 &&
                   rig->browser.count() == std::optional<int>(2);
        });
        if (!reached)
            dump();
        QVERIFY2(reached, qPrintable(QStringLiteral("stopped at step %1").arg(step)));
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        const QStringList lines = rig->harness.logLines();
        QCOMPARE(lines.size(), 1); // the popup (the day's separator comes from StartBlocking)
        QVERIFY2(lines.at(0).startsWith(server.url("/popup.html") + "<===>"),
                 qPrintable(lines.at(0)));
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
        QVERIFY(start("/mixed.html"));
        rig->harness.options.popupKillSpeed = QStringLiteral(".1");
        const WindowKey first = rig->browser.enumerate().first();
        const QString slow = server.url("/slow.html");
        rig->harness.options.killBrowsersOn = how == "new browser";
        if (how == "hijack") {
            rig->harness.settings.hijackPatterns = {QStringLiteral("/slow.html")};
            rig->harness.settings.desiredHomeUrl = server.url("/tab.html");
        }
        bool asked = false;
        const bool reached = rig->runCycleUntil([&] {
            if (!asked && how == "new browser") // as a user opens one
                driver->client()->send("Target.createTarget", {{"url", slow}, {"newWindow", true}});
            else if (!asked)
                act("window.open('/slow.html', 'ad', 'width=320')");
            asked = true;
            return rig->harness.state.popupsTerminated == 1 &&
                   rig->browser.count() == std::optional<int>(1);
        });
        if (!reached)
            dump();
        QVERIFY(reached);
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

    void cycle_withShortDelay_closesEveryPopupOfSeveralClicks() {
        QVERIFY(start("/mixed.html"));
        rig->harness.options.popupKillSpeed = QStringLiteral(".05");
        int opened = 0;
        const bool reached = rig->runCycleUntil(
            [&] {
                const bool onlyTheTab = rig->browser.count() == std::optional<int>(1);
                if (onlyTheTab && rig->harness.state.popupsTerminated == opened && opened < 5) {
                    // Unnamed: a named one would reuse the window the browser is still closing.
                    act("window.open('/popup.html', '_blank', 'width=320')");
                    ++opened;
                }
                return rig->harness.state.popupsTerminated == 5 && onlyTheTab;
            },
            90000);
        if (!reached)
            dump();
        QVERIFY(reached);
        QCOMPARE(rig->harness.logLines().size(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPassChromium, QCoreApplication)
#include "test_survey_pass_chromium.moc"
