#include "blocking/BlockedLog.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "shell/ui/PictureButton.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>

// The whole start chain with real blocking on the in-memory browser: load, Timer8, Timer1, the
// countdown, the hide to the tray, the cycle, a popup closed and counted.
class TestWholeChain : public QObject {
    Q_OBJECT

private slots:
    void fromLoadToAClosedPopup() {
        WindowFixture f(0.02);
        f.realBlocking = true;
        FakeBrowser browser;
        const WindowKey page = browser.addBrowser("http://news.example/", "News");
        f.tp.platform.browser = &browser;
        f.tp.store("firsttime", "done");
        f.tp.store("wasfirsttime", "false");
        f.tp.store("Killpopups", "1");
        f.tp.store("secondsbeforeminimize", "1");
        f.tp.store("popupkillspeed", ".05");
        MainWindow& w = f.load();
        w.show();

        // Driven from a timer, since the chain and the cycle run nested in the test's own waits.
        WindowKey popup = 0;
        bool done = false;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (!w.session().controller().cycleRunning() || w.session().state().hidingToTray)
                return;
            if (!popup) {
                popup = browser.addPopup("http://ads.example/win", "You won");
            } else if (!browser.contains(popup) && !done) {
                done = true;
                // Hide once more to end the cycle.
                w.session().setHiding(true);
            }
        });
        driver.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(done, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.session().controller().cycleRunning(), 5000);
        driver.stop();

        QVERIFY(!w.isVisible());
        QCOMPARE(f.tp.tray.adds, 1);
        QVERIFY(browser.contains(page));
        QCOMPARE(browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(w.session().windowsClosed(), 1);
        QCOMPARE(w.controls().msg1->text(), QStringLiteral("1 Popups terminated"));
        QCOMPARE(w.controls().label28->text(), QStringLiteral("1 popup windows eliminated"));
        QCOMPARE(w.controls().Label2->text(), QStringLiteral("1 popup windows eliminated"));
        QVERIFY(!w.findChild<QPushButton*>("go")->isEnabled());
        QVERIFY(w.findChild<QPushButton*>("stop")->isEnabled());

        w.session().log().CloseBlockedLog();
        QFile log(f.tp.platform.dataFolder + "/skipped_sites.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY2(text.contains("http://ads.example/win<===>You won "), text.constData());
        QVERIFY(text.startsWith("------------ "));
        QVERIFY(text.endsWith("\r\n"));
        QCOMPARE(f.tp.stored("last_used_date"), f.tp.clock.shortDate());
    }

    void stopAndStartFromThePanel() {
        WindowFixture f(0.02);
        f.realBlocking = true;
        FakeBrowser browser;
        f.tp.platform.browser = &browser;
        f.tp.store("firsttime", "done");
        f.tp.store("secondsbeforeminimize", "5");
        MainWindow& w = f.load();
        w.controls().timer("Timer8")->setEnabled(false);
        bool checked = false;
        // Stop from inside the running cycle, then look at the panel, then end the cycle.
        QTimer::singleShot(30, &w, [&] {
            w.findChild<PictureButton*>("Image2")->click();
            checked =
                w.session().stopped() &&
                w.controls().stop_start->text() == QLatin1String("Start blocking popup ads") &&
                w.findChild<QPushButton*>("go")->isEnabled() &&
                !w.findChild<QPushButton*>("stop")->isEnabled() &&
                w.findChild<PictureButton*>("Image6")->isVisibleTo(&w);
            w.session().setHiding(true);
        });
        w.findChild<PictureButton*>("Image1")->click(); // runs the cycle until the timer ends it
        QVERIFY(checked);
        QVERIFY(!w.session().controller().cycleRunning());
    }
};

PAGEWARDEN_TEST_MAIN(TestWholeChain, QApplication)
#include "test_whole_chain.moc"
