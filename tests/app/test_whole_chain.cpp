#include "blocking/BlockedLog.h"
#include "blocking/BlockingSession.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>

// The whole start chain with real blocking on the in-memory browser: load, Timer8, Timer1, the
// countdown, the hide to the tray, the cycle, a popup closed, counted and logged.
class TestWholeChain : public QObject {
    Q_OBJECT

private slots:
    void fromLoadToAClosedPopup() {
        WindowFixture f(0.02);
        f.realBlocking = true;
        FakeBrowser browser;
        const WindowKey page = browser.addBrowser("http://news.example/", "News");
        f.tp.platform.browser = &browser;
        for (const auto& [key, value] : {std::pair{"firsttime", "done"},
                                         {"wasfirsttime", "false"},
                                         {"Killpopups", "1"},
                                         {"secondsbeforeminimize", "1"},
                                         {"popupkillspeed", ".05"}})
            f.tp.store(key, value);
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
                w.session().setHiding(true); // hiding once more ends the cycle
            }
        });
        driver.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.session().controller().cycleRunning(), 60000);
        driver.stop();

        QVERIFY(!w.isVisible());
        QCOMPARE(f.tp.tray.adds, 1);
        QVERIFY(browser.contains(page));
        QCOMPARE(browser.quitWindows(), QList<WindowKey>{popup});
        QCOMPARE(w.controls().msg1->text(), QStringLiteral("1 Popups terminated"));
        QCOMPARE(w.controls().label28->text(), QStringLiteral("1 popup windows eliminated"));
        QCOMPARE(w.controls().Label2->text(), QStringLiteral("1 popup windows eliminated"));
        QVERIFY(!w.controls().command("go")->isEnabled() &&
                w.controls().command("stop")->isEnabled());

        w.session().log().CloseBlockedLog();
        QFile log(f.tp.platform.dataFolder + "/skipped_sites.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY2(text.contains("http://ads.example/win<===>You won "), text.constData());
        QVERIFY(text.startsWith("------------ ") && text.endsWith("\r\n"));
        QCOMPARE(f.tp.stored("last_used_date"), f.tp.clock.shortDate());
    }
};

PAGEWARDEN_TEST_MAIN(TestWholeChain, QApplication)
#include "test_whole_chain.moc"
