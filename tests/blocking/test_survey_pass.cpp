#include "blocking/KillDelay.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QTimer>

namespace {

using Op = FakeBrowser::Op;

// A survey pass over the doubles, counting the delays it spends.
struct PassRig {
    PassRig() : pass(h.context) {
        pass.setDelayObserver([this](double) { ++delays; });
    }
    SurveyPass::Outcome run() { return pass.run(); }
    void at(int ms, std::function<void()> what) {
        QTimer::singleShot(ms, &h.browser, std::move(what));
    }

    BlockingHarness h;
    SurveyPass pass;
    int delays = 0;
};

const QString stamp = " 12/4/2026 10:17:46 PM";

} // namespace

class TestSurveyPass : public QObject {
    Q_OBJECT

private slots:
    void killPopupsOff_returnsAtOnceAndTouchesNothing() {
        PassRig r;
        r.h.options.killPopupsOn = false;
        r.h.options.killAllBrowsersOn = true;
        r.h.browser.addPopup("http://ads.example/");
        r.h.browser.calls.clear();
        QCOMPARE(r.run(), SurveyPass::Outcome::Skipped);
        QCOMPARE(r.h.browser.totalCalls(), 0);
        QCOMPARE(r.delays, 0);
        QVERIFY(!r.h.state.lastWindowCount.has_value());
    }

    // The popup rule (script-opened, no menu bar, HTML) and the new-browser rules. The window is
    // described by letters: h HTML, o opener, m menu bar, v visible, e in the snapshot.
    void rules_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("kill"); // "", "new", "all" or "both"
        QTest::addColumn<bool>("closed");
        const auto row = [](const char* name, const char* window, const char* kill, bool closed) {
            QTest::newRow(name) << QString(window) << QString(kill) << closed;
        };
        row("popup", "hov", "new", true);
        row("popup with menu bar", "homv", "", false);
        row("no opener, no menu bar", "hv", "", false);
        row("folder window", "ov", "", false);
        row("kill new: new window", "hmv", "new", true);
        row("kill new: existing window", "hmve", "new", false);
        row("kill new: invisible", "hm", "new", false);
        row("kill all: existing window", "hmve", "all", true);
        row("kill all: invisible", "hme", "all", false);
        row("both: existing window", "hmve", "both", true);
    }
    void rules() {
        QFETCH(QString, window);
        QFETCH(QString, kill);
        QFETCH(bool, closed);
        PassRig r;
        r.h.options.beepOn = true;
        r.h.options.killBrowsersOn = kill == "new" || kill == "both";
        r.h.options.killAllBrowsersOn = kill == "all" || kill == "both";
        r.h.state.popupsTerminated = 41;
        r.h.browser.quitRemovesAfterMs = -1; // a closed popup lingers: no rule may take it again
        FakeWindow w{0, "http://site.example/", {}, "Prize"};
        w.html = window.contains('h');
        w.opener = window.contains('o');
        w.menuBar = window.contains('m');
        w.visible = window.contains('v');
        const WindowKey key = r.h.browser.addWindow(w);
        if (window.contains('e'))
            r.h.state.existingWindowHandles = {"77", QString::number(1000 + key)};
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QCOMPARE(r.h.browser.quitWindows(), closed ? QList<WindowKey>{key} : QList<WindowKey>{});
        QCOMPARE(r.h.beeper.beeps, int(closed));
        QCOMPARE(r.h.view.events, closed ? QStringList{"closed 42"} : QStringList{});
        QCOMPARE(r.h.logLines(),
                 closed ? QStringList{"http://site.example/<===>Prize" + stamp} : QStringList{});
        QCOMPARE(r.delays, closed ? 3 : 1); // one before the walk; a kill takes two more
    }

    void logViewerOpen_countsButNeitherLogsNorCloses() {
        PassRig r;
        r.h.state.logViewerOpen = true;
        r.h.options.beepOn = true;
        r.h.options.killBrowsersOn = true;
        r.h.browser.addPopup("http://ads.example/");
        r.h.browser.addBrowser("http://new.example/");
        r.run();
        QVERIFY(r.h.browser.actions.isEmpty());
        QVERIFY(!QFile::exists(r.h.logPath()));
        QCOMPARE(r.h.view.events, (QStringList{"closed 1", "closed 2"}));
        QCOMPARE(r.h.beeper.beeps, 1); // the popup rule beeps, the new-browser rule does not
        QCOMPARE(r.delays, 4);         // pass 1, popup 2 (around the skipped close), new browser 1
        r.h.state.forcePass = true;    // counted again by every pass while they stay open
        r.run();
        QCOMPARE(r.h.state.popupsTerminated, 4);
    }

    void debugMode_showsTheDiagnosticsBeforeEachClose() {
        PassRig r;
        r.h.state.debugMode = true;
        r.h.options.killBrowsersOn = true;
        const WindowKey popup = r.h.browser.addPopup("http://ads.example/");
        const WindowKey fresh = r.h.browser.addBrowser("http://new.example/");
        QList<qsizetype> quitsWhenShown;
        r.h.messages.onShow = [&](const QString&) {
            quitsWhenShown << r.h.browser.quitWindows().size();
        };
        r.run();
        QCOMPARE(r.h.messages.texts,
                 (QStringList{"quitting nr. 1, kill popups3", "quitting nr. 2, kill popups3"}));
        QCOMPARE(r.h.messages.titles, (QStringList{"Pagewarden 8.0", "Pagewarden 8.0"}));
        QCOMPARE(quitsWhenShown, (QList<qsizetype>{0, 1}));
        QCOMPARE(r.h.browser.quitWindows(), (QList<WindowKey>{popup, fresh}));
    }

    // A pass waits until the window count changes from the last pass's (or, on the first pass,
    // until a window exists), the kill-all box forces it, the window hides, or a stop is lifted.
    void waitsForAChange_data() {
        QTest::addColumn<QString>("what");
        for (const char* what :
             {"first window", "open", "close", "force", "hide", "unreadable", "stopped"})
            QTest::newRow(what) << QString(what);
    }
    void waitsForAChange() {
        QFETCH(QString, what);
        PassRig r;
        const WindowKey a =
            what == "first window" ? 0 : r.h.browser.addBrowser("http://a.example/");
        if (what == "unreadable")
            r.h.browser.fail(Op::Count);
        else if (what == "stopped")
            r.h.state.blockingStopped = true;
        else if (what != "first window")
            r.run(); // a first pass with a window open walks at once; the count is now 1
        bool changed = false;
        bool early = false;
        r.pass.setDelayObserver([&](double) { early = early || !changed; });
        r.at(40, [&] {
            changed = true;
            if (what == "first window" || what == "open")
                r.h.browser.addPopup("http://ads.example/");
            else if (what == "close")
                r.h.browser.removeWindow(a);
            else if (what == "hide")
                r.h.state.hidingToTray = true;
            else if (what == "stopped")
                r.h.state.blockingStopped = false;
            else
                r.h.state.forcePass = true;
        });
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY(changed && !early);
        QVERIFY(!r.h.state.forcePass);
        QCOMPARE(r.h.state.lastWindowCount.has_value(), what != "unreadable");
    }

    void aWindowClosingWhileAnotherOpens_stillWakesThePass() {
        PassRig r;
        const WindowKey tab = r.h.browser.addBrowser("http://news.example/");
        r.run();
        // Between passes one window goes and a popup comes: the number stays 1.
        r.h.browser.removeWindow(tab);
        const WindowKey popup = r.h.browser.addPopup("http://ads.example/again");
        bool forced = false; // only a pass that missed the change would need this
        r.at(20000, [&] { forced = r.h.state.forcePass = true; });
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY(!forced);
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{popup});
    }

    void givenUpPass_touchesNoFurtherWindow() {
        PassRig r;
        r.h.browser.addPopup("http://ads.example/1");
        r.h.browser.addPopup("http://ads.example/2");
        bool wanted = true;
        // A newer cycle takes over right after the first window was closed.
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        QCOMPARE(r.pass.run([&] { return wanted; }), SurveyPass::Outcome::GivenUp);
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
        QCOMPARE(r.h.state.popupsTerminated, 0); // stopped at the delay after the Quit
    }

    // Read afresh for every delay; a text that is no number means no delay.
    void delaysFollowTheSpeedText() {
        PassRig r;
        QStringList next{"1.50", "fast", "", "0"};
        QList<double> lengths;
        r.pass.setDelayObserver([&](double s) {
            lengths.append(s);
            if (!next.isEmpty())
                r.h.options.popupKillSpeed = next.takeFirst();
        });
        r.h.browser.addPopup("http://ads.example/1");
        r.h.browser.addPopup("http://ads.example/2");
        const double start = r.h.clock.now();
        r.run();
        QVERIFY(r.h.clock.now() - start >= 1.7);
        QCOMPARE(lengths, (QList<double>{0.2, 1.5, 0, 0, 0}));
    }

    // Past the guard limit a wait ends without sleeping out its delay; every pass starts afresh.
    void guardLimit() {
        BlockingHarness h;
        h.options.popupKillSpeed = "1";
        KillDelay delay(h.clock, h.options, {}, 2);
        for (int i = 0; i < 2; ++i) {
            const double start = h.clock.now();
            delay();
            QVERIFY(h.clock.now() - start >= 1.0);
        }
        h.options.popupKillSpeed = "60"; // sleeping it out would take 0.6 s each
        const double start = h.clock.now();
        delay();
        delay();
        QVERIFY2(h.clock.now() - start < 60, qPrintable(QString::number(h.clock.now() - start)));

        PassRig r;
        r.pass.setDelayGuardLimit(2);
        r.h.options.popupKillSpeed = ".5";
        r.h.browser.addPopup("http://ads.example/");
        r.run();
        QVERIFY(r.pass.lastPassGuardRounds() >= 3);
        r.h.state.forcePass = true;
        r.run();
        QVERIFY(r.pass.lastPassGuardRounds() <= 3);
    }

    // A failing read or command is skipped; where it is the test of a rule, the rule runs as if
    // its test had held.
    void failingOperations_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<bool>("popup");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("quits");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("logged");
        const auto row = [](const char* n, Op op, bool popup, bool existing, int quits, int counted,
                            int logged) {
            QTest::newRow(n) << int(op) << popup << existing << quits << counted << logged;
        };
        row("document type: window skipped", Op::IsHtml, true, false, 0, 0, 0);
        row("opener: taken as a popup", Op::HasOpener, false, false, 1, 1, 1);
        row("menu bar: taken as a popup", Op::MenuBar, false, false, 1, 1, 1);
        row("document URL: closed without a record", Op::DocumentUrl, true, false, 1, 1, 0);
        row("title: closed without a record", Op::DocumentTitle, true, false, 1, 1, 0);
        row("quit refused: logged and counted", Op::Quit, true, false, 0, 1, 1);
        row("handle: spared by kill new browsers", Op::Handle, false, false, 0, 0, 0);
        row("visible: new browser closed", Op::Visible, false, false, 1, 1, 1);
        row("visible: existing browser closed too", Op::Visible, false, true, 1, 1, 1);
    }
    void failingOperations() {
        QFETCH(int, op);
        QFETCH(bool, popup);
        QFETCH(bool, existing);
        PassRig r;
        const WindowKey key = popup ? r.h.browser.addPopup("http://site.example/")
                                    : r.h.browser.addBrowser("http://site.example/");
        // With no opener or menu bar to read, the popup rule alone must close it.
        r.h.options.killBrowsersOn = !popup && op != int(Op::HasOpener) && op != int(Op::MenuBar);
        if (existing)
            r.h.state.existingWindowHandles = {QString::number(r.h.browser.window(key).handle)};
        // The next window shows that the pass goes on after the failure.
        const WindowKey next = r.h.browser.addPopup("http://ads.example/next");
        r.h.browser.fail(Op(op), key);
        r.run();
        QTEST(int(r.h.browser.quitWindows().count(key)), "quits");
        QCOMPARE(r.h.browser.quitWindows().count(next), 1);
        QFETCH(int, counted);
        QCOMPARE(r.h.state.popupsTerminated, counted + 1);
        QFETCH(int, logged);
        QCOMPARE(r.h.logLines().size(), logged + 1);
        QVERIFY(r.h.messages.texts.isEmpty());
    }

    void windowThatClosesDuringThePass_isSkipped() {
        PassRig r;
        const WindowKey first = r.h.browser.addPopup("http://ads.example/1");
        const WindowKey second = r.h.browser.addPopup("http://ads.example/2");
        const WindowKey third = r.h.browser.addPopup("http://ads.example/3");
        r.h.browser.onAction = [&](const FakeBrowser::Action& a) {
            if (a.window == first)
                r.h.browser.removeWindow(second);
        };
        r.run();
        QCOMPARE(r.h.browser.quitWindows(), (QList<WindowKey>{first, third}));
        QCOMPARE(r.h.state.popupsTerminated, 2);
    }

    void popupOpenedAfterTheCountWasRead_isLeftForTheNextPass() {
        PassRig r;
        r.h.browser.quitRemovesAfterMs = -1; // closed windows linger in the collection
        const WindowKey first = r.h.browser.addPopup("http://ads.example/1");
        WindowKey second = 0;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) {
            if (!second)
                second = r.h.browser.addPopup("http://ads.example/2");
        };
        r.run();
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{first});
        QCOMPARE(r.h.state.lastWindowCount, std::optional<int>(1));
        // The count differs from the one this pass read, so the next pass runs at once; the
        // lingering window is taken for a popup again.
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QCOMPARE(r.h.browser.quitWindows(), (QList<WindowKey>{first, first, second}));
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPass, QCoreApplication)
#include "test_survey_pass.moc"
