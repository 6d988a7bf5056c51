#include "app/FormTimer.h"
#include "app/PictureButton.h"
#include "app/Twips.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void commandLayer_captionsAndTips_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        QTest::newRow("Command3") << "Command3"
                                  << "Keep visible"
                                  << "Keep this screen visible";
        QTest::newRow("Command4") << "Command4"
                                  << "Options"
                                  << "Change popup blocking options";
        QTest::newRow("Command8") << "Command8"
                                  << "Reset"
                                  << "Reset default values for program";
        QTest::newRow("Command7") << "Command7"
                                  << "Help"
                                  << "Web help";
        QTest::newRow("Command9") << "Command9"
                                  << "Check for update"
                                  << "Checks web site for program updates";
        QTest::newRow("Command13") << "Command13"
                                   << "About"
                                   << "About the product";
        QTest::newRow("Command14") << "Command14"
                                   << "Anti- Hijacker"
                                   << "About the product";
        QTest::newRow("Command11") << "Command11"
                                   << "View log"
                                   << "View list of sites blocked";
        QTest::newRow("exit") << "exit"
                              << "Exit"
                              << "";
        QTest::newRow("stop") << "stop"
                              << "Stop"
                              << "Stop popup blocking";
        QTest::newRow("go") << "go"
                            << "Go!"
                            << "Start popup blocking";
        QTest::newRow("Command1") << "Command1"
                                  << "Command1"
                                  << "";
        QTest::newRow("Command20") << "Command20"
                                   << "Command20"
                                   << "";
        QTest::newRow("cmdOK") << "cmdOK"
                               << "Close"
                               << "Close this menu";
        QTest::newRow("Command2") << "Command2"
                                  << "131"
                                  << "";
        QTest::newRow("Command6") << "Command6"
                                  << "99"
                                  << "";
        QTest::newRow("Command12") << "Command12"
                                   << "Command12"
                                   << "";
    }
    void commandLayer_captionsAndTips() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        WindowFixture f;
        f.make();
        auto* button = f.find<QPushButton>(name);
        QVERIFY2(button, qPrintable(name));
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), tip);
        // The layer lies below everything the window shows at its normal height.
        QVERIFY(button->y() >= Twips::toPixels(7320));
    }

    void stopIsDisabledAtDesign_goHiddenByTheLoad() {
        WindowFixture f;
        f.make();
        QVERIFY(!f.find<QPushButton>("stop")->isEnabled());
        QVERIFY(f.find<QPushButton>("go")->isVisibleTo(f.window.get()));
        f.window->load();
        QVERIFY(!f.find<QPushButton>("go")->isVisibleTo(f.window.get()));
        const auto command5 = f.window->findChildren<QPushButton*>("Command5");
        QCOMPARE(command5.size(), 2);
        QCOMPARE(command5.at(0)->property("index").toInt(), 0);
        QCOMPARE(command5.at(1)->property("index").toInt(), 1);
    }

    void pictureButtons_placesAndVisibilityAfterLoad_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Image1") << "Image1" << QRect(120, 120, 396, 216) << false;
        QTest::newRow("Image25") << "Image25" << QRect(120, 160, 468, 216) << false;
        QTest::newRow("Image2") << "Image2" << QRect(720, 160, 468, 216) << false;
        QTest::newRow("Image3") << "Image3" << QRect(1320, 160, 420, 216) << true;
        QTest::newRow("Image14") << "Image14" << QRect(1920, 160, 828, 216) << true;
        QTest::newRow("Image5 moved to Image4's place")
            << "Image5" << QRect(1920, 160, 828, 216) << false;
        QTest::newRow("Image4") << "Image4" << QRect(1920, 160, 828, 216) << false;
        QTest::newRow("Image10") << "Image10" << QRect(120, 1320, 1080, 216) << true;
        QTest::newRow("Image6") << "Image6" << QRect(120, 1320, 1080, 216) << false;
        QTest::newRow("Image7") << "Image7" << QRect(1476, 1320, 732, 216) << true;
        QTest::newRow("Image8") << "Image8" << QRect(2448, 1320, 504, 216) << true;
        QTest::newRow("Image9") << "Image9" << QRect(3120, 1320, 468, 216) << true;
        QTest::newRow("Image12") << "Image12" << QRect(120, 1680, 1512, 216) << true;
        QTest::newRow("Image11") << "Image11" << QRect(2040, 1680, 588, 216) << true;
        QTest::newRow("Image13") << "Image13" << QRect(2880, 1680, 1116, 216) << true;
    }
    void pictureButtons_placesAndVisibilityAfterLoad() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(bool, shown);
        WindowFixture f;
        f.load();
        auto* picture = f.find<PictureButton>(name);
        QVERIFY(picture);
        QCOMPARE(picture->geometry(),
                 Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
        QCOMPARE(picture->isVisibleTo(f.window.get()), shown);
    }

    void timersAsDesignedAndArmedByTheLoad_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("atDesign");
        QTest::addColumn<bool>("afterLoad");
        QTest::addColumn<bool>("afterHiddenLoad");
        QTest::newRow("Timer1") << "Timer1" << 500 << false << false << true;
        QTest::newRow("Timer2") << "Timer2" << 10000 << false << false << true;
        QTest::newRow("Timer3") << "Timer3" << 1000 << false << false << false;
        QTest::newRow("Timer5") << "Timer5" << 0 << true << true << true;
        QTest::newRow("Timer6") << "Timer6" << 600 << false << false << false;
        // Ticks only while the redirect pass has work (see tests/hijack).
        QTest::newRow("Timer7") << "Timer7" << 2000 << false << false << false;
        QTest::newRow("Timer8") << "Timer8" << 2000 << false << true << false;
    }
    void timersAsDesignedAndArmedByTheLoad() {
        QFETCH(QString, name);
        QFETCH(int, interval);
        QFETCH(bool, atDesign);
        QFETCH(bool, afterLoad);
        QFETCH(bool, afterHiddenLoad);
        WindowFixture normal;
        normal.make();
        FormTimer* timer = normal.window->timer(name);
        QVERIFY(timer);
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(timer->isEnabled(), atDesign);
        normal.window->load();
        QCOMPARE(timer->isEnabled(), afterLoad);

        WindowFixture hidden;
        hidden.tp.store("firsttime", "done");
        hidden.tp.store("HideOnStart", "1");
        hidden.load();
        QCOMPARE(hidden.window->timer(name)->isEnabled(), afterHiddenLoad);
    }

    void timer5_neverFiresWithoutAnInterval() {
        WindowFixture f;
        f.load();
        f.window->timer("Timer8")->setEnabled(false); // no countdown: it would hide the window
        QSignalSpy ticks(f.window->timer("Timer5"), &FormTimer::tick);
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0);
        f.window->timer("Timer5")->setInterval(200);
        QVERIFY(ticks.wait(1000));
    }

    void trayMenu_itemsInOrderWithTheirCaptions() {
        WindowFixture f;
        f.make();
        QMenu* menu = f.window->trayMenu();
        QCOMPARE(menu->objectName(), QStringLiteral("RCPopup"));
        QStringList names, captions;
        for (QAction* a : menu->actions()) {
            names << a->objectName();
            captions << a->text();
        }
        QCOMPARE(names, (QStringList{"rest1", "msg1", "stop_start", "exit1"}));
        QCOMPARE(captions, (QStringList{"&Open", "", "&Stop ", "&Exit"}));
        f.window->load();
        QCOMPARE(f.window->rest1->text(), QStringLiteral("Open Pagewarden 8.0"));
        QCOMPARE(f.window->stop_start->text(), QStringLiteral("Stop blocking popup ads"));
    }

    void load_setsTheNormalSize() {
        WindowFixture f;
        f.load();
        QCOMPARE(f.window->heightTwips(), 2184);
        QCOMPARE(f.window->normalHeight, 2184);
        QCOMPARE(f.window->normalWidth, f.window->widthTwips());
        QVERIFY(!f.window->keepVisible);
        QCOMPARE(f.find<QPushButton>("Command11")->width(), Twips::toPixels(1815));
        QCOMPARE(f.tp.stored("fontsize1"), QStringLiteral("10"));
    }

    void exitCommand_storesEverythingThenEndsTheProcess() {
        WindowFixture f;
        f.load();
        QStringList order;
        f.window->closeBlockedLog = [&] { order << "log closed"; };
        f.window->findChild<QPushButton*>("Command3")->click(); // "Keep visible" puts up the icon
        f.tp.tray.onChange = [&](const QString& what) { order << "tray " + what; };
        f.tp.processExit.onExit = [&] { order << "process ended"; };
        f.find<QCheckBox>("kill_browsers")->setCheckState(Qt::Checked);
        f.find<QComboBox>("popupkillspeed")->setEditText(".05");
        f.find<QListWidget>("lstDestinationfields")
            ->addItems({"x.example", "y.example", "x.example"});
        f.tp.autostart.entries.clear();
        f.find<QPushButton>("exit")->click();
        QCOMPARE(order, (QStringList{"log closed", "tray remove", "process ended"}));
        QCOMPARE(f.tp.processExit.exits, 1);
        QCOMPARE(f.tp.stored("Killbrowsers"), QStringLiteral("1"));
        QCOMPARE(f.tp.stored("popupkillspeed"), QStringLiteral(".05"));
        QCOMPARE(f.tp.stored("spyware_urls"), QStringLiteral("x.example<->y.example"));
        // The box is ticked, so the entry is written again on the way out.
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
    }

    void exitCommand_removesTheEntryWhenTheBoxIsClear() {
        WindowFixture f;
        f.load();
        f.find<QCheckBox>("chkStartUp")->setCheckState(Qt::Unchecked);
        f.tp.autostart.entries["Pagewarden 8.0"] = "stale";
        f.window->exitCommand();
        QVERIFY(!f.tp.autostart.hasEntry("Pagewarden 8.0"));
        QCOMPARE(f.tp.stored("StartUp"), QStringLiteral("0"));
    }

    void exitWaysAllRunTheExitCommand_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << "close";
        QTest::newRow("Image3") << "Image3";
        QTest::newRow("tray Exit") << "exit1";
    }
    void exitWaysAllRunTheExitCommand() {
        QFETCH(QString, way);
        WindowFixture f;
        f.load();
        f.window->show();
        f.find<QCheckBox>("killallbrowsers")->setCheckState(Qt::Checked);
        if (way == "close")
            f.window->close();
        else if (way == "Image3")
            f.find<PictureButton>("Image3")->click();
        else
            f.window->exit1->trigger();
        QCOMPARE(f.tp.processExit.exits, 1);
        QCOMPARE(f.tp.stored("killallbrowsers"), QStringLiteral("1"));
    }

    void homePageBox_followsEveryEdit() {
        WindowFixture f;
        f.load();
        f.find<QLineEdit>("Text2")->setText("http://mine.example/");
        QCOMPARE(f.store->desiredHomeUrl, QStringLiteral("http://mine.example/"));
        f.find<QLineEdit>("Text2")->clear();
        QCOMPARE(f.store->desiredHomeUrl, QString());
    }

    void paint_fillsTheWindowWithTheSchemeColour() {
        WindowFixture f;
        f.load();
        const QImage shot = f.window->grab().toImage();
        QCOMPARE(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(186, 219, 226));
        f.scheme.ApplyColourScheme("Gold", *f.store);
        const QImage gold = f.window->grab().toImage();
        QCOMPARE(QColor(gold.pixel(gold.width() - 2, gold.height() - 2)), QColor(255, 192, 128));
    }

    void aboutBox_eachPressMakesANewOne() {
        WindowFixture f;
        f.load();
        auto* about = f.find<QPushButton>("Command13");
        about->click();
        about->click();
        const auto boxes = f.window->findChildren<QDialog*>("frmAbout");
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes.at(0)->isVisible() && !boxes.at(0)->isModal());
        QVERIFY(boxes.at(0)->findChild<QLabel*>("lblVersionUpdate"));
    }
};

PAGEWARDEN_TEST_MAIN(TestMainWindow, QApplication)
#include "test_main_window.moc"
