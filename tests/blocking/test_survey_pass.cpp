#include "blocking/BlockingView.h"
#include "blocking/KillDelay.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

using Op = FakeBrowser::Op;

// A survey pass over the doubles, counting the delays it spends.
struct PassRig {
    explicit PassRig(double scale = 0.01) : h(scale), pass(h.context) {
        pass.setDelayObserver([this](double) { ++delays; });
    }
    SurveyPass::Outcome run() { return pass.run(); }

    BlockingHarness h;
    SurveyPass pass;
    int delays = 0;
};

const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");

} // namespace

class TestSurveyPass : public QObject {
    Q_OBJECT

private slots:
    void killPopupsOff_returnsAtOnceAndTouchesNothing() {
        PassRig r;
        r.h.options.killPopupsOn = false;
        r.h.options.killAllBrowsersOn = true;
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.h.browser.addBrowser(QStringLiteral("http://news.example/"));
        r.h.browser.calls.clear();
        QCOMPARE(r.run(), SurveyPass::Outcome::Skipped);
        QCOMPARE(r.h.browser.totalCalls(), 0);
        QVERIFY(r.h.browser.actions.isEmpty());
        QCOMPARE(r.delays, 0);
        QVERIFY(!r.h.state.lastWindowCount.has_value());
    }

    void popupRule_data() {
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("opener");
        QTest::addColumn<bool>("menuBar");
        QTest::addColumn<bool>("closed");
        QTest::newRow("script-opened, no menu bar") << true << true << false << true;
        QTest::newRow("script-opened, menu bar") << true << true << true << false;
        QTest::newRow("no opener, no menu bar") << true << false << false << false;
        QTest::newRow("no opener, menu bar") << true << false << true << false;
        QTest::newRow("folder window") << false << true << false << false;
    }
    void popupRule() {
        QFETCH(bool, html);
        QFETCH(bool, opener);
        QFETCH(bool, menuBar);
        QFETCH(bool, closed);
        PassRig r;
        r.h.options.beepOn = true;
        r.h.state.popupsTerminated = 41;
        FakeWindow w;
        w.url = QStringLiteral("http://ads.example/pop");
        w.title = QStringLiteral("Prize");
        w.html = html;
        w.opener = opener;
        w.menuBar = menuBar;
        const WindowKey key = r.h.browser.addWindow(w);
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QCOMPARE(r.h.browser.quitWindows(), closed ? QList<WindowKey>{key} : QList<WindowKey>{});
        QCOMPARE(r.h.state.popupsTerminated, closed ? 42 : 41);
        QCOMPARE(r.h.beeper.beeps, closed ? 1 : 0);
        QCOMPARE(r.h.view.events, closed ? QStringList{"closed 42"} : QStringList{});
        QCOMPARE(r.h.logLines(),
                 closed ? QStringList{"http://ads.example/pop<===>Prize" + stamp} : QStringList{});
        // One delay before the walk; a kill takes two more.
        QCOMPARE(r.delays, closed ? 3 : 1);
    }

    void killedPopup_isNotExaminedByTheNewBrowserRule() {
        PassRig r;
        r.h.options.killBrowsersOn = true;
        r.h.browser.quitRemovesAfterMs = -1; // the window lingers after Quit
        const WindowKey popup = r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.run();
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(r.h.state.popupsTerminated, 1);
        QCOMPARE(r.h.logLines().size(), 1);
        QCOMPARE(r.delays, 3);
    }

    void newBrowserRule_data() {
        QTest::addColumn<bool>("killBrowsers");
        QTest::addColumn<bool>("killAll");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("closed");
        QTest::newRow("kill new: new window") << true << false << false << true << true;
        QTest::newRow("kill new: existing window") << true << false << true << true << false;
        QTest::newRow("kill new: new invisible window") << true << false << false << false << false;
        QTest::newRow("kill all: existing window") << false << true << true << true << true;
        QTest::newRow("kill all: existing invisible") << false << true << true << false << false;
        QTest::newRow("both: existing window") << true << true << true << true << true;
        QTest::newRow("neither: new window") << false << false << false << true << false;
    }
    void newBrowserRule() {
        QFETCH(bool, killBrowsers);
        QFETCH(bool, killAll);
        QFETCH(bool, existing);
        QFETCH(bool, visible);
        QFETCH(bool, closed);
        PassRig r;
        r.h.options.killBrowsersOn = killBrowsers;
        r.h.options.killAllBrowsersOn = killAll;
        r.h.options.beepOn = true;
        FakeWindow w;
        w.url = QStringLiteral("http://news.example/");
        w.title = QStringLiteral("News");
        w.visible = visible;
        const WindowKey key = r.h.browser.addWindow(w);
        if (existing)
            r.h.state.existingWindowHandles = {QStringLiteral("77"),
                                               QString::number(r.h.browser.window(key).handle)};
        r.run();
        QCOMPARE(r.h.browser.quitWindows(), closed ? QList<WindowKey>{key} : QList<WindowKey>{});
        QCOMPARE(r.h.state.popupsTerminated, closed ? 1 : 0);
        QCOMPARE(r.h.beeper.beeps, closed ? 1 : 0);
        QCOMPARE(r.h.logLines(),
                 closed ? QStringList{"http://news.example/<===>News" + stamp} : QStringList{});
        QCOMPARE(r.h.view.count, closed ? 1 : 0);
        QCOMPARE(r.delays, closed ? 3 : 1);
    }

    void logViewerOpen_countsButNeitherLogsNorCloses() {
        PassRig r;
        r.h.state.logViewerOpen = true;
        r.h.options.beepOn = true;
        r.h.options.killBrowsersOn = true;
        r.h.settings.desiredHomeUrl = QStringLiteral("http://home.example/");
        r.h.settings.hijackPatterns = {QStringLiteral("ads.example")};
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.h.browser.addBrowser(QStringLiteral("http://new.example/"));
        r.run();
        QVERIFY(r.h.browser.actions.isEmpty());
        QVERIFY(!QFile::exists(r.h.logPath()));
        QCOMPARE(r.h.state.popupsTerminated, 2);
        QCOMPARE(r.h.view.events, (QStringList{"closed 1", "closed 2"}));
        // The popup rule still beeps; the new-browser rule does not.
        QCOMPARE(r.h.beeper.beeps, 1);
        // Pass 1, popup 2 (around the skipped close), new browser 1 (after it).
        QCOMPARE(r.delays, 4);

        // The same windows are counted again by every later pass while they stay open.
        r.h.state.forcePass = true;
        r.run();
        QCOMPARE(r.h.state.popupsTerminated, 4);
        QVERIFY(r.h.browser.actions.isEmpty());
    }

    void debugMode_showsTheDiagnosticsBeforeEachClose() {
        PassRig r;
        r.h.state.debugMode = true;
        r.h.options.killBrowsersOn = true;
        const WindowKey popup = r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        const WindowKey fresh = r.h.browser.addBrowser(QStringLiteral("http://new.example/"));
        QStringList quitsWhenShown;
        r.h.messages.onShow = [&](const QString&) {
            quitsWhenShown.append(QString::number(r.h.browser.quitWindows().size()));
        };
        r.run();
        QCOMPARE(r.h.messages.texts, (QStringList{QStringLiteral("quitting nr. 1, kill popups3"),
                                                  QStringLiteral("quitting nr. 2, kill popups3")}));
        QCOMPARE(r.h.messages.titles,
                 (QStringList{QStringLiteral("Pagewarden 8.0"), QStringLiteral("Pagewarden 8.0")}));
        // Each box comes before its window is closed.
        QCOMPARE(quitsWhenShown, (QStringList{QStringLiteral("0"), QStringLiteral("1")}));
        QCOMPARE(r.h.browser.quitWindows(), (QList<WindowKey>{popup, fresh}));
    }

    void firstPass_withNoWindow_waitsUntilOneOpens() {
        PassRig r;
        QVERIFY(!r.h.state.lastWindowCount.has_value());
        r.h.browser.addWindowLater(40, [] {
            FakeWindow w;
            w.url = QStringLiteral("http://ads.example/");
            w.opener = true;
            w.menuBar = false;
            return w;
        }());
        QElapsedTimer t;
        t.start();
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY2(t.elapsed() >= 35, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
        QCOMPARE(r.h.state.lastWindowCount, std::optional<int>(1));
    }

    void firstPass_withWindowsOpen_proceedsAtOnce() {
        PassRig r;
        r.h.browser.addBrowser(QStringLiteral("http://news.example/"));
        r.h.browser.addBrowser(QStringLiteral("http://mail.example/"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY(t.elapsed() < 1000);
        QCOMPARE(r.h.state.lastWindowCount, std::optional<int>(2));
        QCOMPARE(r.delays, 1);
    }

    void sameCountAsLastPass_waitsForAChange_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("a window opens") << "open";
        QTest::newRow("a window closes") << "close";
        QTest::newRow("the kill-all box is clicked") << "force";
        QTest::newRow("the window hides to the tray") << "hide";
    }
    void sameCountAsLastPass_waitsForAChange() {
        QFETCH(QString, what);
        PassRig r;
        const WindowKey a = r.h.browser.addBrowser(QStringLiteral("http://news.example/"));
        r.h.browser.addBrowser(QStringLiteral("http://mail.example/"));
        r.run();
        r.delays = 0;
        QElapsedTimer t;
        t.start();
        qint64 changedAt = -1;
        QTimer::singleShot(50, &r.h.browser, [&] {
            changedAt = t.elapsed();
            if (what == QLatin1String("open"))
                r.h.browser.addBrowser(QStringLiteral("http://third.example/"));
            else if (what == QLatin1String("close"))
                r.h.browser.removeWindow(a);
            else if (what == QLatin1String("force"))
                r.h.state.forcePass = true;
            else
                r.h.state.hidingToTray = true;
        });
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY(changedAt >= 0);
        QVERIFY(t.elapsed() >= changedAt);
        QVERIFY(!r.h.state.forcePass);
        QCOMPARE(r.delays, 1);
    }

    void aWindowClosingWhileAnotherOpens_stillWakesThePass() {
        PassRig r;
        const WindowKey tab = r.h.browser.addBrowser(QStringLiteral("http://news.example/"));
        r.run();
        QCOMPARE(r.h.state.lastWindowCount, std::optional<int>(1));
        // Between passes one window goes and a popup comes: the number stays 1.
        r.h.browser.removeWindow(tab);
        const WindowKey popup = r.h.browser.addPopup(QStringLiteral("http://ads.example/again"));
        QCOMPARE(r.h.browser.count(), std::optional<int>(1));
        // Without the change being noticed the pass would wait for the next one; this ends it.
        QTimer::singleShot(3000, &r.h.browser, [&] { r.h.state.forcePass = true; });
        QElapsedTimer t;
        t.start();
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{popup});
    }

    void countThatCannotBeRead_keepsThePassWaiting() {
        PassRig r;
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.h.browser.fail(Op::Count);
        QElapsedTimer t;
        t.start();
        QTimer::singleShot(40, &r.h.browser, [&] { r.h.state.forcePass = true; });
        r.run();
        QVERIFY(t.elapsed() >= 35);
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
        QVERIFY(!r.h.state.lastWindowCount.has_value());
    }

    // Real time here: the wait polls every 100 ms, but a new window wakes it at once, so the popup
    // is closed one delay after it appears rather than up to a poll later. It opens 20 ms after the
    // first poll, so a pass that only polled would find it about 80 ms late.
    void newWindow_wakesTheWaitingPassAtOnce() {
        PassRig r(1.0);
        r.h.options.popupKillSpeed = QStringLiteral("0");
        r.h.state.lastWindowCount = 0;
        QElapsedTimer t;
        t.start();
        qint64 openedAt = -1;
        qint64 closedAt = -1;
        QTimer::singleShot(120, &r.h.browser, [&] {
            openedAt = t.elapsed();
            r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        });
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { closedAt = t.elapsed(); };
        r.run();
        QVERIFY(openedAt >= 0 && closedAt >= openedAt);
        QVERIFY2(
            closedAt - openedAt < 50,
            qPrintable(QStringLiteral("closed %1 ms after it opened").arg(closedAt - openedAt)));
    }

    void blockingStopped_holdsThePassUntilCleared() {
        PassRig r;
        r.h.state.blockingStopped = true;
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        QElapsedTimer t;
        t.start();
        qint64 clearedAt = -1;
        qint64 closedAt = -1;
        QTimer::singleShot(60, &r.h.browser, [&] {
            clearedAt = t.elapsed();
            r.h.state.blockingStopped = false;
        });
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { closedAt = t.elapsed(); };
        r.run();
        QVERIFY(clearedAt >= 0);
        QVERIFY(closedAt >= clearedAt);
    }

    void givenUpPass_touchesNoFurtherWindow() {
        PassRig r;
        r.h.browser.addPopup(QStringLiteral("http://ads.example/1"));
        r.h.browser.addPopup(QStringLiteral("http://ads.example/2"));
        bool wanted = true;
        // A newer cycle takes over right after the first window was closed.
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        QCOMPARE(r.pass.run([&] { return wanted; }), SurveyPass::Outcome::GivenUp);
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
        // It stopped at the delay after the Quit, before counting it.
        QCOMPARE(r.h.state.popupsTerminated, 0);
    }

    void delaysFollowTheSpeedText_data() {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<double>("seconds");
        QTest::newRow(".05") << ".05" << 0.05;
        QTest::newRow(".2") << ".2" << 0.2;
        QTest::newRow("1.50") << "1.50" << 1.5;
        QTest::newRow("0") << "0" << 0.0;
        QTest::newRow("not a number") << "fast" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
    }
    void delaysFollowTheSpeedText() {
        QFETCH(QString, speed);
        QFETCH(double, seconds);
        BlockingHarness h(0.1);
        h.options.popupKillSpeed = speed;
        KillDelay delay(h.clock, h.options);
        double reported = -1;
        delay.observer = [&](double s) { reported = s; };
        const double start = h.clock.now();
        QVERIFY(delay());
        const double spent = h.clock.now() - start;
        QCOMPARE(reported, seconds);
        QVERIFY2(spent >= seconds, qPrintable(QString::number(spent)));
        QCOMPARE(delay.waitsSpent(), 1);
        // One wait sleeps; it does not spin.
        QVERIFY(delay.guardRounds() <= 3);
    }

    void speedTextIsReadAfreshForEveryDelay() {
        PassRig r;
        QList<double> lengths;
        r.pass.setDelayObserver([&](double s) {
            lengths.append(s);
            r.h.options.popupKillSpeed = QStringLiteral(".5");
        });
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.run();
        QCOMPARE(lengths, (QList<double>{0.2, 0.5, 0.5}));
    }

    void pastTheGuardLimit_furtherDelaysEndAtOnce() {
        BlockingHarness h;
        h.options.popupKillSpeed = QStringLiteral("1");
        KillDelay delay(h.clock, h.options, {}, 2);
        QList<double> spent;
        for (int i = 0; i < 4; ++i) {
            const double start = h.clock.now();
            delay();
            spent.append(h.clock.now() - start);
        }
        QVERIFY2(spent[0] >= 1.0 && spent[1] >= 1.0, qPrintable(QString::number(spent[1])));
        QVERIFY(delay.guardRounds() > 2);
        QVERIFY2(spent[2] < 0.5 && spent[3] < 0.5, qPrintable(QString::number(spent[2])));
    }

    void guardCounterStartsAfreshWithEveryPass() {
        PassRig r;
        r.pass.setDelayGuardLimit(2);
        r.h.options.popupKillSpeed = QStringLiteral(".5");
        r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        r.run();
        QVERIFY(r.pass.lastPassGuardRounds() >= 3);
        r.h.state.forcePass = true;
        r.run();
        QVERIFY(r.pass.lastPassGuardRounds() >= 1 && r.pass.lastPassGuardRounds() <= 3);
    }

    // A failing read or command is skipped; where it is the test of a rule, the rule runs as if
    // its test had held.
    void failingOperations_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<bool>("opener");
        QTest::addColumn<bool>("menuBar");
        QTest::addColumn<bool>("killBrowsers");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("quits");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("logged");
        QTest::newRow("document type: window skipped")
            << int(Op::IsHtml) << true << false << false << false << 0 << 0 << 0;
        QTest::newRow("opener: taken as a popup")
            << int(Op::HasOpener) << false << true << false << false << 1 << 1 << 1;
        QTest::newRow("menu bar: taken as a popup")
            << int(Op::MenuBar) << false << true << false << false << 1 << 1 << 1;
        QTest::newRow("document URL: closed without a record")
            << int(Op::DocumentUrl) << true << false << false << false << 1 << 1 << 0;
        QTest::newRow("title: closed without a record")
            << int(Op::DocumentTitle) << true << false << false << false << 1 << 1 << 0;
        QTest::newRow("quit refused: logged and counted")
            << int(Op::Quit) << true << false << false << false << 0 << 1 << 1;
        QTest::newRow("handle: spared by kill new browsers")
            << int(Op::Handle) << false << true << true << false << 0 << 0 << 0;
        QTest::newRow("visible: new browser closed")
            << int(Op::Visible) << false << true << true << false << 1 << 1 << 1;
        QTest::newRow("visible: existing browser closed too")
            << int(Op::Visible) << false << true << true << true << 1 << 1 << 1;
        QTest::newRow("visible, kill options off: spared")
            << int(Op::Visible) << false << true << false << false << 0 << 0 << 0;
    }
    void failingOperations() {
        QFETCH(int, op);
        QFETCH(bool, opener);
        QFETCH(bool, menuBar);
        QFETCH(bool, killBrowsers);
        QFETCH(bool, existing);
        QFETCH(int, quits);
        QFETCH(int, counted);
        QFETCH(int, logged);
        PassRig r;
        r.h.options.killBrowsersOn = killBrowsers;
        FakeWindow w;
        w.url = QStringLiteral("http://site.example/");
        w.opener = opener;
        w.menuBar = menuBar;
        const WindowKey key = r.h.browser.addWindow(w);
        if (existing)
            r.h.state.existingWindowHandles = {QString::number(r.h.browser.window(key).handle)};
        // The next window shows that the pass goes on after the failure.
        const WindowKey next = r.h.browser.addPopup(QStringLiteral("http://ads.example/next"));
        r.h.browser.fail(Op(op), key);
        r.run();
        QCOMPARE(r.h.browser.quitWindows().count(key), quits);
        QCOMPARE(r.h.browser.quitWindows().count(next), 1);
        QCOMPARE(r.h.state.popupsTerminated, counted + 1);
        QCOMPARE(r.h.logLines().size(), logged + 1);
        QVERIFY(r.h.messages.texts.isEmpty());
    }

    void windowThatClosesDuringThePass_isSkipped() {
        PassRig r;
        const WindowKey first = r.h.browser.addPopup(QStringLiteral("http://ads.example/1"));
        const WindowKey second = r.h.browser.addPopup(QStringLiteral("http://ads.example/2"));
        const WindowKey third = r.h.browser.addPopup(QStringLiteral("http://ads.example/3"));
        // The user closes the second popup while the first is being killed.
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
        const WindowKey first = r.h.browser.addPopup(QStringLiteral("http://ads.example/1"));
        WindowKey second = 0;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) {
            if (!second)
                second = r.h.browser.addPopup(QStringLiteral("http://ads.example/2"));
        };
        r.run();
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{first});
        QCOMPARE(r.h.state.lastWindowCount, std::optional<int>(1));
        // The count differs from the one this pass read, so the next pass runs at once; the
        // lingering window is taken for a popup again.
        QCOMPARE(r.run(), SurveyPass::Outcome::Walked);
        QCOMPARE(r.h.browser.quitWindows(), (QList<WindowKey>{first, first, second}));
        QCOMPARE(r.h.state.popupsTerminated, 3);
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPass, QCoreApplication)
#include "test_survey_pass.moc"
