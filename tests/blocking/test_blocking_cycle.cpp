#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QTimer>

namespace {

using Op = FakeBrowser::Op;

const QString stamp = " 12/4/2026 10:17:46 PM";
const QString separator = "------------ 12/4/2026 10:17:46 PM ----------";

struct CycleRig {
    CycleRig() : c(h.context) {
        // Nothing may hang a test: hide to the tray after a while.
        at(20000, [this] { hide(); });
    }
    void at(int ms, std::function<void()> what) {
        QTimer::singleShot(ms, &h.browser, std::move(what));
    }
    // What the window's hide handler does to the flags.
    void hide() {
        h.state.hidingToTray = true;
        h.state.blockingStopped = false;
    }

    BlockingHarness h;
    BlockingController c;
};

} // namespace

class TestBlockingCycle : public QObject {
    Q_OBJECT

private slots:
    // The day's first start writes the separator; the date is stored either way.
    void separatorOnTheDaysFirstStart_data() {
        QTest::addColumn<QString>("lastUsed");
        QTest::addColumn<bool>("written");
        QTest::newRow("very first start") << QString() << true;
        QTest::newRow("same day") << "12/4/2026" << false;
        QTest::newRow("another day") << "12/3/2026" << true;
        QTest::newRow("stored default") << "0" << true;
    }
    void separatorOnTheDaysFirstStart() {
        QFETCH(QString, lastUsed);
        QFETCH(bool, written);
        CycleRig r;
        if (!lastUsed.isNull())
            r.h.backend.values["last_used_date"] = lastUsed;
        r.h.state.hidingToTray = true; // the cycle ends at once
        r.c.StartBlocking();
        r.c.StopBlocking();
        r.c.StartBlocking(); // a second start the same day writes none
        QCOMPARE(r.h.logLines(), written ? QStringList{separator} : QStringList{});
        QCOMPARE(r.h.backend.values.value("last_used_date"), QStringLiteral("12/4/2026"));
        QCOMPARE(r.h.state.adsLoggedThisSession, 0); // the separator is not counted
    }

    void startBlocking_stepsInOrder() {
        CycleRig r;
        r.h.state.adsLoggedThisSession = 9;
        r.h.state.blockingStopped = true;
        r.h.state.hidingToTray = true;
        QStringList writesWhenSwitchedOn;
        r.h.view.onEvent = [&](const QString& event) {
            if (event == "on")
                writesWhenSwitchedOn = r.h.backend.writes;
        };
        r.c.StartBlocking();
        QCOMPARE(r.h.state.adsLoggedThisSession, 0);
        QVERIFY(!r.h.state.blockingStopped);
        QCOMPARE(r.h.view.events, (QStringList{"on", "reset"}));
        // The date first, then the program state, all before the panel hears of the start.
        QCOMPARE(writesWhenSwitchedOn,
                 (QStringList{"last_used_date", "saved_the_product_version", "wasfirsttime",
                              "spyware_urls", "desired_home_url"}));
        QVERIFY(r.c.restartPending());
    }

    void cycle_closesPopupsUntilTheWindowHides() {
        CycleRig r;
        r.h.options.beepOn = true;
        r.at(20, [&] { r.h.browser.addPopup("http://ads.example/1", "One"); });
        r.at(60, [&] { r.h.browser.addPopup("http://ads.example/2", "Two"); });
        r.h.view.onEvent = [&](const QString& event) {
            if (event == "closed 2")
                r.hide();
        };
        r.c.StartBlocking();
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
        const WindowKey before = r.h.browser.addBrowser("http://before.example/");
        r.at(20, [&] { r.h.browser.addPopup("http://ads.example/1"); });
        r.h.view.onEvent = [&](const QString& event) {
            if (event == "closed 1")
                r.hide();
        };
        r.c.StartBlocking();
        QVERIFY(r.c.restartPending());
        // The window is in the tray now; the user opens a browser before the restart.
        r.h.state.hidingToTray = false;
        const WindowKey whileHidden = r.h.browser.addBrowser("http://hidden.example/");
        WindowKey later = 0;
        r.h.view.onEvent = [&](const QString& event) {
            if (event == "reset")
                r.at(60, [&] { later = r.h.browser.addBrowser("http://later.example/"); });
            else if (event == "closed 1")
                r.hide();
        };
        QTRY_VERIFY_WITH_TIMEOUT(r.c.cyclesBegun() == 2 && !r.c.cycleRunning(), 20000);
        // The new snapshot spares the browser opened while hidden; the count started again.
        QCOMPARE(r.h.browser.quitWindows().count(before), 0);
        QCOMPARE(r.h.browser.quitWindows().count(whileHidden), 0);
        QCOMPARE(r.h.browser.quitWindows().count(later), 1);
        QCOMPARE(r.h.state.popupsTerminated, 1);
        QCOMPARE(r.h.logLines().count(separator), 1); // the restart is not a start
    }

    void stoppedBlocking_closesNothingUntilItRunsAgain() {
        CycleRig r;
        r.at(10, [&] {
            r.c.StopBlocking();
            QCOMPARE(r.h.view.events.last(), QStringLiteral("off"));
            QVERIFY(r.h.state.blockingStopped && !r.h.log.logFileOpen());
            QCOMPARE(r.h.pointer.events, QStringList{"default"});
            r.h.browser.addPopup("http://ads.example/");
        });
        r.at(80, [&] {
            QVERIFY(r.h.browser.actions.isEmpty());
            r.hide(); // the hide clears the stop; the held pass then goes on
        });
        r.c.StartBlocking();
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
    }

    // Stopped and started a thousand times while the cycle waits: the running cycle begins afresh
    // each time, never a second one inside it.
    void startAfterStop_replacesTheStoppedCycle() {
        CycleRig r;
        r.h.options.killBrowsersOn = true;
        WindowKey openedWhileStopped = 0;
        WindowKey popup = 0;
        r.at(10, [&] { r.c.StopBlocking(); });
        r.at(20, [&] { openedWhileStopped = r.h.browser.addBrowser("http://b.example/"); });
        r.at(30, [&] {
            QCOMPARE(r.h.state.popupsTerminated, 0);
            r.h.state.popupsTerminated = 7;
            for (int i = 0; i < 1000; ++i) {
                r.c.StopBlocking();
                r.c.StartBlocking(); // returns at once
            }
            popup = r.h.browser.addPopup("http://ads.example/");
        });
        r.h.view.onEvent = [&](const QString& event) {
            if (event.startsWith("closed"))
                r.hide();
        };
        r.c.StartBlocking();
        // The browser opened while stopped is in the fresh snapshot; the count started again.
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(r.h.state.popupsTerminated, 1);
        QVERIFY(r.c.cyclesBegun() >= 2);
        QCOMPARE(r.c.deepestNesting(), 1);
        QVERIFY(!r.c.cycleRunning() && !r.h.state.blockingStopped);
        QCOMPARE(r.h.logLines().count(separator), 1);
    }

    void killAllBrowsersClick_makesTheWaitingPassRunAtOnce() {
        CycleRig r;
        const WindowKey old = r.h.browser.addBrowser("http://old.example/");
        bool hidden = false;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) {
            hidden = r.h.state.hidingToTray; // only the forced pass, not the hide, may close it
            r.hide();
        };
        r.at(30, [&] {
            r.h.options.killAllBrowsersOn = true;
            r.c.forcePass();
        });
        r.c.StartBlocking();
        QCOMPARE(r.h.browser.quitWindows(), QList<WindowKey>{old});
        QVERIFY(!hidden && !r.h.state.forcePass);
    }

    void killPopupsOff_cycleSleepsAndResumesWhenTurnedOn() {
        CycleRig r;
        r.h.options.killPopupsOn = false;
        r.h.browser.addPopup("http://ads.example/1");
        r.at(100, [&] {
            QVERIFY(r.h.browser.actions.isEmpty());
            r.h.options.killPopupsOn = true;
        });
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { r.hide(); };
        r.c.StartBlocking();
        QCOMPARE(r.h.browser.quitWindows().size(), 1);
    }

    void snapshot_recordsTheOpenPagesOnce() {
        CycleRig r;
        r.h.state.existingWindowHandles = {"999"};
        r.h.state.openPageUrls = {"http://kept.example/"};
        r.h.state.popupsTerminated = 5;
        const auto add = [&](qint64 handle, const char* url, Op failing = Op::Count) {
            FakeWindow w{handle, url, {}, {}};
            w.html = handle != 4003;
            const WindowKey key = r.h.browser.addWindow(w);
            if (failing != Op::Count)
                r.h.browser.fail(failing, key);
        };
        add(4001, "http://a.example/");
        add(4001, "http://b.example/"); // a second tab of the same window
        add(4002, "http://a.example/"); // another window showing an address already listed
        add(4003, "file:///home");      // a folder window
        add(4004, "http://no-handle.example/", Op::Handle);
        add(4005, "http://no-url.example/", Op::LocationUrl);
        add(4006, "http://no-type.example/", Op::IsHtml);
        r.c.SnapshotExistingWindows();
        QCOMPARE(r.h.state.existingWindowHandles, (QStringList{"4001", "4002", "4005"}));
        QCOMPARE(r.h.state.openPageUrls,
                 (QStringList{"http://kept.example/", "http://a.example/", "http://b.example/",
                              "http://no-handle.example/"}));
        QCOMPARE(r.h.state.popupsTerminated, 0);
        QCOMPARE(r.h.view.events, QStringList{"reset"});
    }
};

PAGEWARDEN_TEST_MAIN(TestBlockingCycle, QCoreApplication)
#include "test_blocking_cycle.moc"
