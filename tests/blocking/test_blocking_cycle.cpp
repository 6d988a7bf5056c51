#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <ctime>

namespace {

using Op = FakeBrowser::Op;

const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");
const QString separator = QStringLiteral("------------ 12/4/2026 10:17:46 PM ----------");

struct CycleRig {
    explicit CycleRig(double scale = 0.01) : h(scale), c(h.context) {
        // Nothing may hang a test: hide to the tray (as the hide handler does) after a while.
        QTimer::singleShot(20000, &h.browser, [this] { hide(); });
    }
    // Runs `what` `ms` real milliseconds from now.
    void at(int ms, std::function<void()> what) {
        QTimer::singleShot(ms, &h.browser, std::move(what));
    }
    // What the window's hide handler does to the flags.
    void hide() {
        h.state.hidingToTray = true;
        h.state.blockingStopped = false;
    }
    void hideAt(int ms) {
        at(ms, [this] { hide(); });
    }

    BlockingHarness h;
    BlockingController c;
};

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

} // namespace

class TestBlockingCycle : public QObject {
    Q_OBJECT

private slots:
    void startBlocking_writesTheDaySeparatorOnTheDaysFirstStart_data() {
        QTest::addColumn<QString>("lastUsed");
        QTest::addColumn<bool>("written");
        QTest::newRow("very first start") << QString() << true;
        QTest::newRow("same day") << "12/4/2026" << false;
        QTest::newRow("another day") << "12/3/2026" << true;
        QTest::newRow("stored default") << "0" << true;
    }
    void startBlocking_writesTheDaySeparatorOnTheDaysFirstStart() {
        QFETCH(QString, lastUsed);
        QFETCH(bool, written);
        CycleRig r;
        if (!lastUsed.isNull())
            r.h.backend.values[QStringLiteral("last_used_date")] = lastUsed;
        r.h.state.hidingToTray = true; // the cycle ends at once
        r.c.StartBlocking();
        QCOMPARE(r.h.logLines(), written ? QStringList{separator} : QStringList{});
        QCOMPARE(r.h.backend.values.value(QStringLiteral("last_used_date")),
                 QStringLiteral("12/4/2026"));
        // The separator carries its own date and is not counted.
        QCOMPARE(r.h.state.adsLoggedThisSession, 0);
    }

    void daySeparator_isWrittenOncePerDay() {
        CycleRig r;
        r.h.state.hidingToTray = true;
        r.c.StartBlocking();
        r.c.StopBlocking();
        r.c.StartBlocking();
        r.h.clock.date = QStringLiteral("12/5/2026");
        r.h.clock.time = QStringLiteral("8:00:00 AM");
        r.c.StartBlocking();
        QCOMPARE(r.h.logLines(),
                 (QStringList{separator,
                              QStringLiteral("------------ 12/5/2026 8:00:00 AM ----------")}));
    }

    void startBlocking_stepsInOrder() {
        CycleRig r;
        r.h.backend.values[QStringLiteral("last_used_date")] = QStringLiteral("12/4/2026");
        r.h.state.adsLoggedThisSession = 9;
        r.h.state.blockingStopped = true;
        r.h.state.hidingToTray = true;
        r.h.settings.desiredHomeUrl = QStringLiteral("http://home.example/");
        QStringList writesWhenSwitchedOn;
        r.h.view.onEvent = [&](const QString& event) {
            if (event == QLatin1String("on"))
                writesWhenSwitchedOn = r.h.backend.writes;
        };
        r.c.StartBlocking();
        QCOMPARE(r.h.state.adsLoggedThisSession, 0);
        QVERIFY(!r.h.state.blockingStopped);
        QCOMPARE(r.h.view.events, (QStringList{"on", "reset"}));
        // The date first, then the program state, all before the panel hears of the start.
        QCOMPARE(writesWhenSwitchedOn,
                 (QStringList{QStringLiteral("last_used_date"),
                              QStringLiteral("saved_the_product_version"),
                              QStringLiteral("wasfirsttime"), QStringLiteral("spyware_urls"),
                              QStringLiteral("desired_home_url")}));
        QVERIFY(r.c.restartPending());
    }

    void cycle_closesPopupsUntilTheWindowHides() {
        CycleRig r;
        r.h.options.beepOn = true;
        r.at(20, [&] { r.h.browser.addPopup(QStringLiteral("http://ads.example/1"), "One"); });
        r.at(60, [&] { r.h.browser.addPopup(QStringLiteral("http://ads.example/2"), "Two"); });
        r.hideAt(120);
        QElapsedTimer t;
        t.start();
        r.c.StartBlocking();
        QVERIFY(t.elapsed() >= 115);
        QCOMPARE(r.h.browser.quitWindows().size(), 2);
        QCOMPARE(r.h.state.popupsTerminated, 2);
        QCOMPARE(r.h.view.events, (QStringList{"on", "reset", "closed 1", "closed 2"}));
        QCOMPARE(r.h.logLines(), (QStringList{separator, "http://ads.example/1<===>One" + stamp,
                                              "http://ads.example/2<===>Two" + stamp}));
        QCOMPARE(r.h.state.adsLoggedThisSession, 2);
        QCOMPARE(r.h.beeper.beeps, 2);
        QVERIFY(r.c.restartPending());
        QVERIFY(!r.c.cycleRunning());
    }

    void afterTheHide_aFreshCycleStartsWithAFreshSnapshot() {
        CycleRig r;
        r.h.options.killBrowsersOn = true;
        const WindowKey before = r.h.browser.addBrowser(QStringLiteral("http://before.example/"));
        r.at(20, [&] {
            r.h.browser.addPopup(QStringLiteral("http://ads.example/1"));
            r.h.browser.addPopup(QStringLiteral("http://ads.example/2"));
        });
        r.hideAt(60);
        r.c.StartBlocking();
        QCOMPARE(r.h.state.popupsTerminated, 2);
        QVERIFY(r.c.restartPending());
        // The window is in the tray now; the user opens a browser before the restart.
        r.h.state.hidingToTray = false;
        const WindowKey whileHidden =
            r.h.browser.addBrowser(QStringLiteral("http://hidden.example/"));
        WindowKey later = 0;
        r.h.view.onEvent = [&](const QString& event) {
            if (event != QLatin1String("reset"))
                return;
            r.at(60,
                 [&] { later = r.h.browser.addBrowser(QStringLiteral("http://later.example/")); });
            r.hideAt(120);
        };
        QTRY_VERIFY_WITH_TIMEOUT(r.c.cyclesBegun() == 2 && !r.c.cycleRunning(), 10000);
        // The new snapshot spares the browser opened while hidden; the count started again.
        QCOMPARE(r.h.browser.quitWindows().count(before), 0);
        QCOMPARE(r.h.browser.quitWindows().count(whileHidden), 0);
        QCOMPARE(r.h.browser.quitWindows().count(later), 1);
        QCOMPARE(r.h.state.popupsTerminated, 1);
        // The restart is not a start: no second separator.
        QCOMPARE(r.h.logLines().count(separator), 1);
    }

    void stopBlocking_switchesTheControlsAndClosesTheLog() {
        CycleRig r;
        r.h.log.LogBlocked(QStringLiteral("x<===>y"));
        QVERIFY(r.h.log.logFileOpen());
        r.c.StopBlocking();
        QCOMPARE(r.h.view.events, QStringList{"off"});
        QVERIFY(r.h.state.blockingStopped);
        QVERIFY(!r.h.log.logFileOpen());
        QCOMPARE(r.h.pointer.events, QStringList{QStringLiteral("default")});
    }

    void stoppedBlocking_closesNothingUntilItRunsAgain() {
        CycleRig r;
        r.at(10, [&] { r.c.StopBlocking(); });
        r.at(20, [&] { r.h.browser.addPopup(QStringLiteral("http://ads.example/")); });
        int actionsWhileStopped = -1;
        bool logOpenWhileStopped = true;
        r.at(80, [&] {
            actionsWhileStopped = r.h.browser.actions.size();
            logOpenWhileStopped = r.h.log.logFileOpen();
        });
        r.hideAt(100);
        r.c.StartBlocking();
        QCOMPARE(actionsWhileStopped, 0);
        QVERIFY(!logOpenWhileStopped);
        // The hide clears the stop; the held pass then goes on.
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
    }

    void startAfterStop_replacesTheStoppedCycle() {
        CycleRig r;
        r.h.options.killBrowsersOn = true;
        WindowKey openedWhileStopped = 0;
        WindowKey popup = 0;
        r.at(10, [&] { r.c.StopBlocking(); });
        r.at(20, [&] {
            openedWhileStopped = r.h.browser.addBrowser(QStringLiteral("http://b.example/"));
        });
        r.at(30, [&] {
            QCOMPARE(r.h.state.popupsTerminated, 0);
            r.h.state.popupsTerminated = 7;
            r.c.StartBlocking(); // returns at once: the running cycle begins afresh
        });
        r.at(60, [&] { popup = r.h.browser.addPopup(QStringLiteral("http://ads.example/")); });
        r.hideAt(100);
        r.c.StartBlocking();
        QVERIFY(popup);
        // The browser opened while stopped is in the fresh snapshot; the count started again.
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(r.h.state.popupsTerminated, 1);
        QCOMPARE(r.c.cyclesBegun(), 2);
        QCOMPARE(r.c.deepestNesting(), 1);
        QVERIFY(!r.c.cycleRunning());
        // One separator for the day, however often blocking starts.
        QCOMPARE(r.h.logLines().count(separator), 1);
    }

    void killAllBrowsersClick_makesTheWaitingPassRunAtOnce() {
        CycleRig r;
        const WindowKey old = r.h.browser.addBrowser(QStringLiteral("http://old.example/"));
        QElapsedTimer t;
        t.start();
        qint64 closedAt = -1;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { closedAt = t.elapsed(); };
        r.at(30, [&] {
            r.h.options.killAllBrowsersOn = true;
            r.c.forcePass();
            QVERIFY(r.h.state.forcePass);
        });
        r.hideAt(400);
        r.c.StartBlocking();
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{old});
        QVERIFY2(closedAt >= 30 && closedAt < 300, qPrintable(QString::number(closedAt)));
        QVERIFY(!r.h.state.forcePass);
    }

    void killPopupsOff_cycleSleepsAndResumesWhenTurnedOn() {
        CycleRig r(1.0);
        r.h.options.killPopupsOn = false;
        r.h.options.popupKillSpeed = QStringLiteral("0");
        r.h.browser.addPopup(QStringLiteral("http://ads.example/1"));
        double cpuWhileOff = -1;
        const double cpuStart = cpuSeconds();
        r.at(400, [&] {
            cpuWhileOff = cpuSeconds() - cpuStart;
            QVERIFY(r.h.browser.actions.isEmpty());
            r.h.options.killPopupsOn = true;
        });
        r.hideAt(700);
        r.c.StartBlocking();
        // An idle cycle sleeps between its rounds instead of spinning.
        QVERIFY2(cpuWhileOff >= 0 && cpuWhileOff < 0.1, qPrintable(QString::number(cpuWhileOff)));
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
    }

    void snapshot_recordsTheOpenPagesOnce() {
        CycleRig r;
        r.h.state.existingWindowHandles = {QStringLiteral("999")};
        r.h.state.openPageUrls = {QStringLiteral("http://kept.example/")};
        r.h.state.popupsTerminated = 5;
        FakeWindow w;
        w.url = QStringLiteral("http://a.example/");
        w.handle = 4001;
        r.h.browser.addWindow(w);
        w.url = QStringLiteral("http://b.example/"); // a second tab of the same window
        r.h.browser.addWindow(w);
        w.handle = 4002; // another window showing an address already listed
        w.url = QStringLiteral("http://a.example/");
        r.h.browser.addWindow(w);
        FakeWindow folder;
        folder.url = QStringLiteral("file:///home");
        folder.html = false;
        folder.handle = 4003;
        r.h.browser.addWindow(folder);
        w.handle = 4004;
        w.url = QStringLiteral("http://no-handle.example/");
        r.h.browser.fail(Op::Handle, r.h.browser.addWindow(w));
        w.handle = 4005;
        w.url = QStringLiteral("http://no-url.example/");
        r.h.browser.fail(Op::LocationUrl, r.h.browser.addWindow(w));
        w.handle = 4006;
        r.h.browser.fail(Op::IsHtml, r.h.browser.addWindow(w));

        r.c.SnapshotExistingWindows();
        QCOMPARE(
            r.h.state.existingWindowHandles,
            (QStringList{QStringLiteral("4001"), QStringLiteral("4002"), QStringLiteral("4005")}));
        QCOMPARE(
            r.h.state.openPageUrls,
            (QStringList{QStringLiteral("http://kept.example/"),
                         QStringLiteral("http://a.example/"), QStringLiteral("http://b.example/"),
                         QStringLiteral("http://no-handle.example/")}));
        QCOMPARE(r.h.state.popupsTerminated, 0);
        QCOMPARE(r.h.view.events, QStringList{"reset"});
    }

    void toggledAThousandTimes_neverNestsASecondCycle() {
        CycleRig r;
        WindowKey late = 0;
        r.at(10, [&] {
            // The user stops and starts again and again while the cycle waits for a change.
            for (int i = 0; i < 1000; ++i) {
                r.c.StopBlocking();
                r.c.StartBlocking();
            }
            QCOMPARE(r.c.deepestNesting(), 1);
            late = r.h.browser.addPopup(QStringLiteral("http://ads.example/"));
        });
        r.h.view.onEvent = [&](const QString& event) {
            if (event == QLatin1String("closed 1"))
                r.hide();
        };
        r.c.StartBlocking();
        QCOMPARE(r.c.deepestNesting(), 1);
        // Still blocking after all that: the popup opened after the last start is closed.
        QVERIFY(r.h.browser.quitWindows().contains(late));
        QVERIFY(!r.h.state.blockingStopped);
        QCOMPARE(r.h.logLines().count(separator), 1);
    }
};

PAGEWARDEN_TEST_MAIN(TestBlockingCycle, QCoreApplication)
#include "test_blocking_cycle.moc"
