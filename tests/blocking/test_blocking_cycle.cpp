#include "support/BlockingHarness.h"
#include "support/TestMain.h"

namespace {

const QString separator = "------------ 12/4/2026 10:17:46 PM ----------";

// The cycle over the doubles. Nothing may hang a test: the window hides to the tray after a while.
struct CycleRig : BlockingHarness {
    CycleRig() {
        at(60000, [this] { hide(); });
    }
    void hideOn(const QString& event) {
        view.onEvent = [this, event](const QString& e) {
            if (e == event)
                hide();
        };
    }
};

} // namespace

class TestBlockingCycle : public QObject {
    Q_OBJECT

private slots:
    // The first start on a date other than the stored one writes the separator, whichever way the
    // clock went; the date is stored either way. Each start begins a new session of records.
    void separatorOnTheDaysFirstStart_data() {
        QTest::addColumn<QString>("lastUsed");
        QTest::addColumn<bool>("written");
        QTest::newRow("very first start") << QString() << true; // today is 12/4/2026
        QTest::newRow("same day") << "12/4/2026" << false;
        QTest::newRow("another day") << "12/3/2026" << true;
        QTest::newRow("clock put back a day") << "12/5/2026" << true;
    }
    void separatorOnTheDaysFirstStart() {
        QFETCH(QString, lastUsed);
        QFETCH(bool, written);
        CycleRig r;
        if (!lastUsed.isNull())
            r.backend.values["last_used_date"] = lastUsed;
        r.state.adsLoggedThisSession = 9;
        r.state.hidingToTray = true; // the cycle ends at once
        r.controller.StartBlocking();
        QCOMPARE(r.backend.writes.mid(0, 2),
                 (QStringList{"last_used_date", "saved_the_product_version"}));
        r.controller.StopBlocking();
        r.controller.StartBlocking(); // a second start the same day writes none
        const QString line = "------------ " + r.clock.date + " 10:17:46 PM ----------";
        QCOMPARE(r.logLines(), written ? QStringList{line} : QStringList{});
        QCOMPARE(r.backend.values.value("last_used_date"), r.clock.date);
        QCOMPARE(r.state.adsLoggedThisSession, 0); // the separator is not counted
        QVERIFY(r.controller.restartPending());
    }

    void cycle_closesPopupsUntilTheWindowHides_thenStartsAfresh() {
        CycleRig r;
        r.at(20, [&] { r.browser.addPopup("http://ads.example/1", "One"); });
        r.at(60, [&] { r.browser.addPopup("http://ads.example/2", "Two"); });
        r.hideOn("closed 2");
        r.controller.StartBlocking();
        QCOMPARE(r.view.events, (QStringList{"on", "reset", "closed 1", "closed 2"}));
        QCOMPARE(r.logLines(), (QStringList{separator, "http://ads.example/1<===>One" + r.stamp,
                                            "http://ads.example/2<===>Two" + r.stamp}));
        QVERIFY(r.controller.restartPending() && !r.controller.cycleRunning());
        // A second later a fresh cycle starts by itself, counting from 0 again.
        r.state.hidingToTray = false;
        r.hideOn("reset");
        QTRY_VERIFY_WITH_TIMEOUT(r.controller.cyclesBegun() >= 2, 30000);
        QCOMPARE(r.state.popupsTerminated, 0);
        QCOMPARE(r.logLines().count(separator), 1); // the restart is not a start
    }

    // Stopped and started a thousand times while the cycle waits: the running cycle begins afresh
    // each time, never a second one inside it.
    void startAfterStop_replacesTheStoppedCycle() {
        CycleRig r;
        r.options.killBrowsersOn = true;
        WindowKey popup = 0;
        r.at(10, [&] {
            r.controller.StopBlocking();
            // Later timers may run inside the stop, so only its own events are looked at.
            QVERIFY(r.view.events.value(2) == "off" && !r.log.logFileOpen());
            QCOMPARE(r.pointer.events.value(0), "default");
        });
        r.at(20, [&] { r.browser.addBrowser("http://b.example/"); });
        r.at(30, [&] {
            QCOMPARE(r.state.popupsTerminated, 0);
            r.state.popupsTerminated = 7;
            for (int i = 0; i < 1000; ++i) {
                r.controller.StopBlocking();
                r.controller.StartBlocking(); // returns at once
            }
            popup = r.browser.addPopup("http://ads.example/");
        });
        r.hideOn("closed 1");
        r.controller.StartBlocking();
        // The browser opened while stopped is in the fresh snapshot; the count started again.
        QCOMPARE(r.browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(r.state.popupsTerminated, 1);
        QVERIFY(r.controller.cyclesBegun() >= 2);
        QCOMPARE(r.controller.deepestNesting(), 1);
        QVERIFY(!r.controller.cycleRunning() && !r.state.blockingStopped);
    }

    // A cycle whose "Kill popups" is unticked while its pass waits closes nothing; ticked again,
    // it goes on at once.
    void killPopupsUntickedWhileTheCycleWaits() {
        CycleRig r;
        bool closedWhileUnticked = false;
        r.at(20, [&] {
            r.options.killPopupsOn = false;
            r.browser.addPopup("http://ads.example/1");
        });
        r.at(100, [&] { r.options.killPopupsOn = true; });
        r.browser.onAction = [&](const FakeBrowser::Action&) {
            closedWhileUnticked = !r.options.killPopupsOn;
            r.hide();
        };
        r.controller.StartBlocking();
        QCOMPARE(r.browser.quitWindows().size(), 1);
        QVERIFY(!closedWhileUnticked);
    }

    // Each window's handle and each page's address is listed once; a folder window is left out,
    // and so is whatever cannot be read.
    void snapshot_recordsTheOpenPagesOnce() {
        CycleRig r;
        r.state.existingWindowHandles = {"999"};
        r.state.openPageUrls = {"http://kept.example/"};
        r.state.popupsTerminated = 5;
        r.browser.addWindow({4001, "http://kept.example/", {}, {}});
        r.browser.addWindow({4001, "http://b.example/", {}, {}}); // a second tab of the same window
        r.browser.addWindow({4003, "file:///home", {}, {}, false});
        for (const char* call : {"handle", "locationUrl", "isHtmlDocument"})
            r.browser.fail(call,
                           r.browser.addWindow({4004, QString("http://%1/").arg(call), {}, {}}));
        r.controller.SnapshotExistingWindows();
        QCOMPARE(r.state.existingWindowHandles, (QStringList{"4001", "4004"}));
        QCOMPARE(r.state.openPageUrls,
                 (QStringList{"http://kept.example/", "http://b.example/", "http://handle/"}));
        QCOMPARE(r.state.popupsTerminated, 0);
        QCOMPARE(r.view.events, QStringList{"reset"});
    }
};

PAGEWARDEN_TEST_MAIN(TestBlockingCycle, QCoreApplication)
#include "test_blocking_cycle.moc"
