#include "platform/FormTimer.h"
#include "splash/SplashScreen.h"
#include "support/Recorders.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

class TestSplash : public QObject {
    Q_OBJECT

private slots:
    void takesThePicturesSizeAndIsCentred() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        QVERIFY(!splash.pictureSize().isEmpty());
        QCOMPARE(splash.size(), splash.pictureSize());
        QVERIFY(splash.image1()->pixmap().isNull() == false);
        const QRect screen = splash.screen()->geometry();
        QVERIFY(qAbs(splash.frameGeometry().center().x() - screen.center().x()) <= 1);
        QCOMPARE(splash.objectName(), QStringLiteral("the_splash"));
    }

    void resizeSnapsBackAtOnce() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        splash.resize(100, 50);
        QCOMPARE(splash.size(), splash.pictureSize());
    }

    void minimisedOrMaximised_comesBackWithinOneTick_data() {
        QTest::addColumn<int>("state");
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
    }
    void minimisedOrMaximised_comesBackWithinOneTick() {
        QFETCH(int, state);
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        splash.setWindowState(Qt::WindowState(state));
        // One tick of the second timer is 600 ms of program time: 30 ms here.
        QTRY_VERIFY_WITH_TIMEOUT(splash.windowState() == Qt::WindowNoState, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(splash.size(), splash.pictureSize(), 1000);
    }

    void aDraggedSplashStaysWhereItWasPut() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        splash.move(5, 7);
        QTest::qWait(100); // several ticks of both timers
        QCOMPARE(splash.pos(), QPoint(5, 7));
    }

    void timersSlowDownAfterTheirFirstTicks() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        auto* timer1 = splash.findChild<FormTimer*>("Timer1");
        auto* timer2 = splash.findChild<FormTimer*>("Timer2");
        QVERIFY(timer1 && timer2);
        QCOMPARE(timer1->interval(), 100);
        QCOMPARE(timer2->interval(), 500);
        QVERIFY(timer1->isEnabled() && timer2->isEnabled());
        splash.show();
        QTRY_COMPARE_WITH_TIMEOUT(timer1->interval(), 200, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(timer2->interval(), 600, 1000);
    }
};

PAGEWARDEN_TEST_MAIN(TestSplash, QApplication)
#include "test_splash.moc"
