// Several browsers as one collection: reads and commands reach the browser that owns the window,
// keys and handles stay apart across browsers and are never given again, a browser that leaves
// takes its windows along, and "Kill new browsers" judges a window by its own browser's handle.
// Also the status line that names every guarded browser and its route.
#include "platform/BrowserCollection.h"
#include "platform/BrowserRoutes.h"
#include "platform/devtools/BrowserConnector.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QSignalSpy>

class TestBrowserCollection : public QObject {
    Q_OBJECT

private slots:
    void membersShareOneCollection() {
        FakeBrowser a, b; // the same member keys (1, 2) and handles (1001, 1002) in both
        const WindowKey mine = a.addBrowser("http://a.example/", "A");
        b.addBrowser("http://b.example/", "B");
        BrowserCollection all;
        QSignalSpy changes(&all, &BrowserWindows::countChanged);
        QCOMPARE(QList<int>({all.addMember(&a), all.addMember(&b), all.addMember(&b)}),
                 QList<int>({0, 1, 1}));
        const QList<WindowKey> keys = all.enumerate();
        QCOMPARE(all.count(), 2);
        QCOMPARE(all.locationUrl(keys[1]), QStringLiteral("http://b.example/"));
        QCOMPARE(all.documentTitle(keys[0]), QStringLiteral("A"));
        QVERIFY(keys[0] != keys[1] && all.handle(keys[0]) != all.handle(keys[1]));
        QCOMPARE(all.handle(keys[1]), all.handleOf(&b, 1001));
        QVERIFY(all.navigate(keys[1], "http://home/") && all.refresh(keys[1]) && all.quit(keys[1]));
        QCOMPARE(b.actionLog(), (QStringList{"navigate 1 http://home/", "refresh 1", "quit 1"}));
        QVERIFY(a.actions.isEmpty());
        b.addPopup("http://ads.example/");
        QCOMPARE(changes.size(), 4); // two members with windows came; b's quit and popup passed on

        b.fail("count"); // a member that cannot count is left out; all failing is a failure
        QCOMPARE(all.count(), 1);
        a.fail("count");
        QCOMPARE(all.count(), std::nullopt);

        // A member that leaves takes its windows; back again, its windows are new to us.
        const WindowKey before = all.enumerate().last();
        all.removeMember(&b);
        b.addPopup("http://ads.example/again"); // no longer heard
        QCOMPARE(changes.size(), 5);
        QCOMPARE(all.enumerate(), QList<WindowKey>{keys[0]});
        QVERIFY(!all.locationUrl(before) && !all.quit(before) && !all.handleOf(&b, 1001));
        QCOMPARE(all.addMember(&b), 2);
        QCOMPARE(all.enumerate().size(), 3);
        QVERIFY(!all.enumerate().contains(before));
        {
            FakeBrowser gone;
            gone.addBrowser("http://c.example/");
            all.addMember(&gone);
            QCOMPARE(all.enumerate().size(), 4);
        } // destroyed: it leaves by itself
        QCOMPARE(all.members(), (QList<BrowserWindows*>{&a, &b}));

        // A window open at the start is spared in its own browser only.
        FakeBrowser c;
        TestClock clock(0.01);
        BlockingHarness h(all, clock);
        h.options.killBrowsersOn = true;
        h.controller.SnapshotExistingWindows();
        all.addMember(&c);
        const WindowKey other = c.addBrowser("http://other.example/"); // handle 1001, as `mine`
        QCOMPARE(c.handle(other), a.handle(mine));
        h.forcedPass();
        QCOMPARE(c.quitWindows(), QList<WindowKey>{other});
        QVERIFY(a.actions.isEmpty());
    }

    void statusLine_namesEveryBrowserAndItsRoute() {
        const QString dev = "Guarding Chromium 156 (started by Pagewarden)";
        using BrowserRoutes::statusLine;
        QCOMPARE(statusLine({}, dev, true), dev);
        QCOMPARE(statusLine({"Chromium 156"}, dev, false), "Guarding Chromium 156 (extension)");
        QCOMPARE(statusLine({"Chromium 156", "Brave 140"}, dev, true),
                 "Guarding Chromium 156 (extension), Brave 140 (extension) and " + dev.mid(9));
    }

    // launch_browser=auto: a browser of our own is launched after the wait only if nothing is
    // guarded by then (here the launch is seen failing to find its browser).
    void autoLaunch_onlyWhenNothingIsGuarded_data() {
        QTest::addColumn<bool>("guarded");
        QTest::newRow("an extension is connected") << true;
        QTest::newRow("nothing is guarded") << false;
    }
    void autoLaunch_onlyWhenNothingIsGuarded() {
        QFETCH(bool, guarded);
        BrowserConnectionOptions options;
        options.executable = QStringLiteral("/nonexistent/browser");
        BrowserRoutes::applyLaunch(BrowserRoutes::Launch::Auto, options);
        BrowserConnector connector(options);
        connector.start();
        LaunchGate gate(connector, [guarded] { return guarded; });
        QSignalSpy allowed(&gate, &LaunchGate::launchAllowed);
        gate.start(10);
        QTRY_VERIFY(gate.decided() && connector.state() == BrowserConnector::State::Waiting);
        QCOMPARE(allowed.size(), int(!guarded));
        QTRY_COMPARE(connector.status().contains("Cannot find the browser"), !guarded);
    }
};

PAGEWARDEN_TEST_MAIN(TestBrowserCollection, QCoreApplication)
#include "test_browser_collection.moc"
