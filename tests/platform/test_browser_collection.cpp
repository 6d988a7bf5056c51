// Several browsers as one collection: reads and commands reach the browser that owns the window,
// keys and handles stay apart across browsers and are never given again, and a browser that
// leaves takes its windows along; "Kill new browsers" judges a window by its own browser's handle.
#include "platform/BrowserCollection.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QSignalSpy>

class TestBrowserCollection : public QObject {
    Q_OBJECT

private slots:
    void membersShareOneCollection() {
        FakeBrowser a, b; // the same member keys (1, 2) and handles (1001, 1002) in both
        a.addBrowser("http://a.example/", "A");
        b.addBrowser("http://b.example/", "B");
        BrowserCollection all;
        QSignalSpy changes(&all, &BrowserWindows::countChanged);
        QCOMPARE(all.addMember(&a), 0);
        QCOMPARE(all.addMember(&b), 1);
        QCOMPARE(all.addMember(&b), 1); // once only
        QCOMPARE(changes.size(), 2);
        const QList<WindowKey> keys = all.enumerate();
        QCOMPARE(keys.size(), 2);
        QCOMPARE(all.count(), 2);
        QCOMPARE(all.locationUrl(keys[1]), QStringLiteral("http://b.example/"));
        QCOMPARE(all.documentTitle(keys[0]), QStringLiteral("A"));
        QVERIFY(keys[0] != keys[1]);
        QVERIFY(all.handle(keys[0]) != all.handle(keys[1]));
        QCOMPARE(all.handle(keys[1]), all.handleOf(&b, 1001));
        QCOMPARE(all.handle(keys[0]), std::optional<qint64>(1001)); // the first member's own

        QVERIFY(all.navigate(keys[1], "http://home.example/") && all.refresh(keys[1]));
        QVERIFY(all.quit(keys[1]));
        QCOMPARE(b.actionLog(),
                 (QStringList{"navigate 1 http://home.example/", "refresh 1", "quit 1"}));
        QVERIFY(a.actions.isEmpty());
        QCOMPARE(changes.size(), 3); // the member's own change, passed on
        const WindowKey popup = b.addPopup("http://ads.example/");
        QCOMPARE(changes.size(), 4);
        QCOMPARE(all.count(), 2);

        // A member that fails to count is left out; all failing is a failure.
        b.fail("count");
        QCOMPARE(all.count(), 1);
        a.fail("count");
        QCOMPARE(all.count(), std::nullopt);

        // A member that leaves takes its windows; back again, its windows are new to us.
        const WindowKey before = all.enumerate().last();
        all.removeMember(&b);
        QCOMPARE(changes.size(), 5);
        QCOMPARE(all.enumerate(), QList<WindowKey>{keys[0]});
        QCOMPARE(all.locationUrl(before), std::nullopt);
        QVERIFY(!all.quit(before));
        QCOMPARE(all.handleOf(&b, 1001), std::nullopt);
        b.addPopup("http://ads.example/again"); // no longer heard
        QCOMPARE(changes.size(), 5);
        QCOMPARE(all.addMember(&b), 2);
        QVERIFY(!all.enumerate().contains(before));
        QCOMPARE(all.enumerate().size(), 3);
        QVERIFY(all.handleOf(&b, 1000 + qint64(popup)) != all.handleOf(&a, 1000 + qint64(popup)));

        {
            FakeBrowser gone;
            gone.addBrowser("http://c.example/");
            all.addMember(&gone);
            QCOMPARE(all.enumerate().size(), 4);
        } // destroyed: it leaves by itself
        QCOMPARE(all.enumerate().size(), 3);
        QCOMPARE(all.members(), (QList<BrowserWindows*>{&a, &b}));
    }

    // A window open at the start is spared in its own browser only: another browser's window
    // with the same handle of its own is a new browser window.
    void killNewBrowsersTellsBrowsersApart() {
        FakeBrowser a, b;
        const WindowKey mine = a.addBrowser("http://mine.example/");
        BrowserCollection all;
        all.addMember(&a);
        TestClock clock(0.01);
        BlockingHarness h(all, clock);
        h.options.killBrowsersOn = true;
        h.controller.SnapshotExistingWindows();
        QCOMPARE(h.state.existingWindowHandles, QStringList{"1001"});
        all.addMember(&b);
        const WindowKey other = b.addBrowser("http://other.example/"); // handle 1001 in b
        QCOMPARE(b.handle(other), a.handle(mine));
        h.state.forcePass = true;
        h.pass.run();
        QCOMPARE(b.quitWindows(), QList<WindowKey>{other});
        QVERIFY(a.actions.isEmpty());
    }
};

PAGEWARDEN_TEST_MAIN(TestBrowserCollection, QCoreApplication)
#include "test_browser_collection.moc"
