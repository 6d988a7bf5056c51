#include "allow/AllowedSites.h"
#include "blocking/KillDelay.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

using Outcome = SurveyPass::Outcome;

class TestSurveyPass : public QObject {
    Q_OBJECT

private slots:
    // The popup rule (script-opened, no menu bar, HTML) and the new-browser rules. The window is
    // described by letters: h HTML, o opener, m menu bar, v visible, e in the snapshot. A failing
    // read or command is skipped; where it is the test of a rule, the rule runs as if it held. A
    // popup after it shows that the pass goes on.
    void rules_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("kill");    // "", "new", "all" or "both"
        QTest::addColumn<QString>("failing"); // the browser call that fails
        QTest::addColumn<QString>("result");  // q quit, c counted, l logged
        const auto row = [](const char* name, const char* window, const char* kill,
                            const char* result, const char* failing = "") {
            QTest::newRow(name) << QString(window) << QString(kill) << QString(failing)
                                << QString(result);
        };
        row("popup", "hov", "new", "qcl");
        row("popup with menu bar", "homv", "", "");
        row("no opener, no menu bar", "hv", "", "");
        row("folder window", "ov", "", "");
        row("kill new: new window", "hmv", "new", "qcl");
        row("kill new: existing window", "hmve", "new", "");
        row("kill new: invisible", "hm", "new", "");
        row("kill all: existing window", "hmve", "all", "qcl");
        row("kill all: invisible", "hme", "all", "");
        row("both: existing window", "hmve", "both", "qcl");
        row("document type fails: skipped", "hov", "", "", "isHtmlDocument");
        row("opener fails: taken as a popup", "hmv", "", "qcl", "hasOpener");
        row("menu bar fails: taken as a popup", "hmv", "", "qcl", "menuBar");
        row("document URL fails: no record", "hov", "", "qc", "documentUrl");
        row("title fails: no record", "hov", "", "qc", "documentTitle");
        row("quit refused: logged and counted", "hov", "", "cl", "quit");
        row("handle fails: spared by kill new", "hmv", "new", "", "handle");
        row("visible fails: existing closed too", "hmve", "new", "qcl", "visible");
    }
    void rules() {
        QFETCH(QString, window);
        QFETCH(QString, kill);
        QFETCH(QString, failing);
        QFETCH(QString, result);
        BlockingHarness h;
        h.options.beepOn = true;
        h.options.killBrowsersOn = kill == "new" || kill == "both";
        h.options.killAllBrowsersOn = kill == "all" || kill == "both";
        h.state.popupsTerminated = 41;
        h.browser.quitKeepsWindow = true; // a closed popup lingers: no rule may take it again
        const auto has = [&](char c) { return window.contains(QLatin1Char(c)); };
        const WindowKey key = h.browser.addWindow(
            {0, "http://site.example/", {}, "Prize", has('h'), has('o'), has('m'), has('v')});
        if (has('e'))
            h.state.existingWindowHandles = {"77", QString::number(1000 + key)};
        const WindowKey next = h.browser.addPopup("http://ads.example/next", "Next");
        if (!failing.isEmpty())
            h.browser.fail(failing, key);
        QCOMPARE(h.pass.run(), Outcome::Walked);
        const bool quit = result.contains('q'), counted = result.contains('c');
        QCOMPARE(h.browser.quitWindows(),
                 (quit ? QList<WindowKey>{key, next} : QList<WindowKey>{next}));
        QCOMPARE(h.beeper.beeps, 1 + int(counted));
        QCOMPARE(h.view.events.last(), QStringLiteral("closed %1").arg(42 + int(counted)));
        const QString record = "http://site.example/<===>Prize" + h.stamp;
        QCOMPARE(h.logLines(), (result.contains('l') ? QStringList{record} : QStringList{}) +
                                   QStringList{"http://ads.example/next<===>Next" + h.stamp});
        QCOMPARE(h.delays, 3 + 2 * int(counted)); // one before the walk; a kill takes two more
        QVERIFY(h.messages.texts.isEmpty());
    }

    // A popup the allowed sites cover (its host, a default, the sign-in marks, the page that
    // opened it) is neither closed, counted nor logged, while the one beside it is; a page the
    // hijack list names is never spared.
    void allowedSites_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("hijack");
        QTest::addColumn<bool>("spared");
        const auto row = [](const char* name, const char* address, bool spared,
                            const char* opener = "", const char* hijack = "") {
            QTest::newRow(name) << QString(address) << QString(opener) << QString(hijack) << spared;
        };
        row("allowed host", "https://login.shop.example/", true);
        row("default host", "https://accounts.google.com/o", true);
        row("sign-in marks", "https://id.example/?client_id=a&response_type=code", true);
        row("allowed opener", "https://pay.example/", true, "https://call.example/r");
        row("other", "https://ads.example/", false, "https://news.example/");
        row("hijack list wins", "https://shop.example/trap", false, "", "trap");
    }
    void allowedSites() {
        QFETCH(QString, address);
        QFETCH(QString, opener);
        QFETCH(QString, hijack);
        QFETCH(bool, spared);
        BlockingHarness h;
        h.settings.put_option("shop.example<->opener:call.example", AllowedSites::storedKey);
        if (!hijack.isEmpty())
            h.settings.hijackPatterns = {hijack};
        const WindowKey key =
            h.browser.addWindow({0, address, {}, "Sign in", true, true, false, true, opener});
        const WindowKey next = h.browser.addPopup("http://ads.example/next", "Next");
        QCOMPARE(h.forcedPass(), Outcome::Walked);
        QCOMPARE(h.browser.quitWindows(), (spared ? QList{next} : QList{key, next}));
        QCOMPARE(h.state.popupsTerminated, spared ? 1 : 2);
        QCOMPARE(h.logLines().size(), spared ? 1 : 2);
    }

    // With the viewer open windows are counted (again by every pass) but neither logged nor
    // closed; in debug mode a box comes before each close.
    void viewerOpenAndDebugMode() {
        BlockingHarness h;
        h.state.logViewerOpen = h.options.beepOn = h.options.killBrowsersOn = true;
        h.browser.addPopup("http://ads.example/");
        h.browser.addBrowser("http://new.example/");
        h.pass.run();
        QVERIFY(h.browser.actions.isEmpty() && !QFile::exists(h.logPath()));
        QCOMPARE(h.view.events, (QStringList{"closed 1", "closed 2"}));
        QCOMPARE(h.beeper.beeps, 1); // the popup rule beeps, the new-browser rule does not
        QCOMPARE(h.delays, 4);       // pass 1, popup 2 (around the skipped close), new browser 1
        h.forcedPass();
        QCOMPARE(h.state.popupsTerminated, 4);
        h.state.logViewerOpen = false;
        h.state.debugMode = true;
        QList<qsizetype> quitsWhenShown;
        h.messages.onShow = [&](const QString&) { quitsWhenShown << h.browser.actions.size(); };
        h.forcedPass();
        QCOMPARE(quitsWhenShown, (QList<qsizetype>{0, 1})); // a box before each close
        QCOMPARE(h.browser.actionLog(), (QStringList{"quit 1", "quit 2"}));
    }

    // A pass waits until the window count changes from the last pass's (or, on the first pass,
    // until a window exists), the kill-all box forces it, the window hides, or a stop is lifted. A
    // window closing while another opens is a change although the number stays.
    void waitsForAChange_data() {
        QTest::addColumn<QString>("what");
        for (const char* what :
             {"first window", "open", "close", "force", "hide", "unreadable", "stopped", "swap"})
            QTest::newRow(what) << QString(what);
    }
    void waitsForAChange() {
        QFETCH(QString, what);
        BlockingHarness h;
        const WindowKey a = what == "first window" ? 0 : h.browser.addBrowser("http://a.example/");
        if (what == "unreadable")
            h.browser.fail("count");
        else if (what == "stopped")
            h.state.blockingStopped = true;
        else if (what != "first window")
            h.pass.run(); // a first pass with a window open walks at once; the count is now 1
        bool changed = what == "swap";
        if (changed) {
            h.browser.removeWindow(a);
            h.browser.addPopup("http://ads.example/swapped");
        }
        bool early = false, forced = false; // only a pass that missed the swap needs forcing
        h.pass.setDelayObserver([&](double) { early = early || !changed; });
        h.at(40, [&] {
            if (what == "swap")
                forced = h.state.forcePass = true;
            else if (what == "first window" || what == "open")
                h.browser.addPopup("http://ads.example/");
            else if (what == "close")
                h.browser.removeWindow(a);
            else if (what == "hide")
                h.state.hidingToTray = true;
            else if (what == "stopped")
                h.state.blockingStopped = false;
            else
                h.state.forcePass = true;
            changed = true;
        });
        QCOMPARE(h.pass.run(), Outcome::Walked);
        QVERIFY(changed && !early && !forced && !h.state.forcePass);
        QCOMPARE(h.state.lastWindowCount.has_value(), what != "unreadable");
        const bool popup = what == "first window" || what == "open" || what == "swap";
        QCOMPARE(h.browser.quitWindows().size(), popup ? 1 : 0);
    }

    // Unticking a box takes effect at once, also for a pass that was already waiting: from then on
    // it closes nothing that box asked for. A window closed before that is still counted.
    void untickedWhileThePassWaits_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("untickAtDelay"); // -1: while it waits for a window
        QTest::addColumn<int>("closed");
        QTest::newRow("kill popups, waiting for a window") << "popups" << -1 << 0;
        QTest::newRow("kill popups, in the delay before the walk") << "popups" << 1 << 0;
        QTest::newRow("kill popups, in the delay after a close") << "popups" << 3 << 1;
        QTest::newRow("kill new browsers, before its close") << "new" << 2 << 0;
        QTest::newRow("kill all browsers, before its close") << "all" << 2 << 0;
    }
    void untickedWhileThePassWaits() {
        QFETCH(QString, box);
        QFETCH(int, untickAtDelay);
        BlockingHarness h;
        h.options.killBrowsersOn = box == "new";
        h.options.killAllBrowsersOn = box == "all" || box == "popups";
        bool& ticked = box == "popups" ? h.options.killPopupsOn
                       : box == "new"  ? h.options.killBrowsersOn
                                       : h.options.killAllBrowsersOn;
        if (box != "popups") {
            const WindowKey old = h.browser.addBrowser("http://old.example/");
            h.state.existingWindowHandles = {QString::number(1000 + old)};
            h.browser.addBrowser("http://new.example/");
        } else if (untickAtDelay < 0) {
            h.forcedPass(); // the count is now 0 and the next pass waits
            h.at(20, [&] {
                ticked = false;
                h.browser.addPopup("http://ads.example/");
            });
        } else {
            h.browser.addPopup("http://ads.example/1");
            h.browser.addPopup("http://ads.example/2");
        }
        int delays = 0;
        h.pass.setDelayObserver([&](double) {
            if (++delays == untickAtDelay)
                ticked = false;
        });
        QCOMPARE(h.pass.run(), box == "popups" ? Outcome::Skipped : Outcome::Walked);
        QFETCH(int, closed);
        QCOMPARE(h.browser.quitWindows().size(), closed);
        QCOMPARE(h.logLines().size(), closed);
        QCOMPARE(h.state.popupsTerminated, closed);
    }

    // The speed text is read for every delay and again while it waits; a text that is no number
    // (or a negative or absurd one) means no delay. The popups are closed all the same.
    void delaysFollowTheSpeedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        const QList<std::pair<const char*, double>> rows{
            {".2", 0.2}, {"1.50", 1.5}, {"2,5", 2.5}, {"abc", 0}, {"-1", 0}, {"1e9", 0}, {"", 0}};
        for (const auto& [text, seconds] : rows)
            QTest::newRow(text) << QString(text) << seconds;
        QTest::newRow("5000 shortened while it waits") << "5000" << 5000.0;
    }
    void delaysFollowTheSpeedText() {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        BlockingHarness h;
        h.options.popupKillSpeed = text;
        QList<double> lengths;
        h.pass.setDelayObserver([&](double s) { lengths.append(s); });
        if (seconds > 1000) // the user types a shorter delay during the first wait
            h.at(20, [&] { h.options.popupKillSpeed = "0"; });
        h.browser.addPopup("http://ads.example/1");
        h.browser.addPopup("http://ads.example/2");
        const double start = h.clock.now();
        QCOMPARE(h.pass.run(), Outcome::Walked);
        const double spent = h.clock.now() - start;
        QCOMPARE(lengths.first(), seconds);
        QVERIFY2(seconds > 1000 ? spent < 1000 : spent >= 5 * seconds && spent < 5 * seconds + 60,
                 qPrintable(QString::number(spent)));
        QCOMPARE(h.browser.quitWindows().size(), 2);
    }

    // Past the guard limit a wait ends once the time of day is past its delay, so just after
    // midnight it still lasts its delay; every pass starts its count afresh.
    void guardLimit() {
        BlockingHarness h;
        h.options.popupKillSpeed = "5";
        KillDelay delay(h.clock, h.options, {}, 0);
        for (const double sinceMidnight : {0.5, 86399.0}) {
            h.clock.sinceMidnight = sinceMidnight;
            const double start = h.clock.now();
            delay();
            QCOMPARE(h.clock.now() - start >= 5, sinceMidnight < 5);
        }
    }

    // The count is read before the walk: a popup that opens meanwhile is left for the next pass,
    // which runs at once. A closed window that lingers (the browser froze) is not taken again.
    void popupOpenedAfterTheCountWasRead_isLeftForTheNextPass() {
        BlockingHarness h;
        h.browser.quitKeepsWindow = true;
        const WindowKey first = h.browser.addPopup("http://ads.example/1");
        WindowKey second = 0;
        h.browser.onAction = [&](const FakeBrowser::Action&) {
            if (!second)
                second = h.browser.addPopup("http://ads.example/2");
        };
        h.pass.run();
        QCOMPARE(h.state.lastWindowCount, std::optional<int>(1));
        QCOMPARE(h.pass.run(), Outcome::Walked);
        QCOMPARE(h.browser.quitWindows(), (QList<WindowKey>{first, second}));
        QCOMPARE(h.state.popupsTerminated, 2);
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPass, QCoreApplication)
#include "test_survey_pass.moc"
