#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "shell/ui/PictureButton.h"
#include "shell/ui/Twips.h"
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

    void load_showsAndHidesItsPictures() {
        WindowFixture f;
        f.load();
        QStringList shown;
        for (const char* name :
             {"Image1", "Image25", "Image2", "Image3", "Image4", "Image14", "Image5", "Image10",
              "Image6", "Image7", "Image8", "Image9", "Image12", "Image11", "Image13"}) {
            if (f.window->controls().picture(name)->isVisibleTo(f.window.get()))
                shown << name;
        }
        QCOMPARE(shown, (QStringList{"Image3", "Image14", "Image10", "Image7", "Image8", "Image9",
                                     "Image12", "Image11", "Image13"}));
        // The hidden log picture moves to the place of the one it replaces.
        QCOMPARE(f.window->controls().picture("Image5")->pos(),
                 f.window->controls().picture("Image4")->pos());
        // A shown start arms the pause before the countdown; a hidden one the countdown itself
        // and the update check.
        QVERIFY(f.window->controls().timer("Timer8")->isEnabled());
        QVERIFY(!f.window->controls().timer("Timer1")->isEnabled());
        WindowFixture hidden;
        hidden.tp.store("firsttime", "done");
        hidden.tp.store("HideOnStart", "1");
        hidden.load();
        for (const char* name : {"Timer1", "Timer2"})
            QVERIFY(hidden.window->controls().timer(name)->isEnabled());
        QVERIFY(!hidden.window->controls().timer("Timer8")->isEnabled());
    }

    void timer5_neverFiresWithoutAnInterval() {
        WindowFixture f;
        f.load();
        f.window->controls().timer("Timer8")->setEnabled(
            false); // no countdown: it would hide the window
        FormTimer* timer5 = f.window->controls().timer("Timer5");
        QSignalSpy ticks(timer5, &FormTimer::tick);
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0);
        timer5->setInterval(200);
        QVERIFY(ticks.wait(1000));
    }

    void trayMenu_afterTheLoad() {
        WindowFixture f;
        f.load();
        QStringList captions;
        for (QAction* a : f.window->controls().trayMenu->actions())
            captions << a->text();
        QCOMPARE(captions,
                 (QStringList{"Open Pagewarden 8.0", "", "Stop blocking popup ads", "&Exit"}));
    }

    void browserStatus_fitsItsTwoLines_andTheToolTipHoldsItAll() {
        WindowFixture f;
        f.load();
        QLabel* line = f.window->controls().browserStatus;
        f.window->showBrowserStatus("Guarding Chromium");
        QCOMPARE(line->text(), QStringLiteral("Guarding Chromium"));
        const QString longText =
            "Cannot reach the browser at http://127.0.0.1:9222/json/version: connection refused; "
            "start it with --remote-debugging-port=9222 or set browser_endpoint";
        f.window->showBrowserStatus(longText);
        QCOMPARE(line->toolTip(), longText);
        QVERIFY(line->text().endsWith(QChar(0x2026)));
        QVERIFY(longText.startsWith(line->text().chopped(1)));
        const QRect needed = line->fontMetrics().boundingRect(
            QRect(0, 0, line->contentsRect().width(), 10000), Qt::TextWordWrap, line->text());
        QVERIFY(needed.height() <= line->contentsRect().height());
    }

    void load_setsTheNormalSize() {
        WindowFixture f;
        f.load();
        QCOMPARE(f.window->heightTwips(), 2184);
        QCOMPARE(f.window->normalHeight, 2184);
        QCOMPARE(f.window->normalWidth, f.window->widthTwips());
        QVERIFY(!f.window->tray().keepVisible());
        QCOMPARE(f.find<QPushButton>("Command11")->width(), Twips::toPixels(1815));
        QCOMPARE(f.tp.stored("fontsize1"), QStringLiteral("10"));
    }

    void exitCommand_storesEverythingThenEndsTheProcess() {
        WindowFixture f;
        f.load();
        QStringList order;
        f.window->session().log().LogBlocked("x<===>y");
        f.window->findChild<QPushButton*>("Command3")->click(); // "Keep visible" puts up the icon
        f.tp.tray.onChange = [&](const QString& what) { order << "tray " + what; };
        f.tp.processExit.onExit = [&] {
            if (!f.window->session().log().logFileOpen())
                order << "log closed";
            order << "process ended";
        };
        f.find<QCheckBox>("kill_browsers")->setCheckState(Qt::Checked);
        f.find<QComboBox>("popupkillspeed")->setEditText(".05");
        f.find<QListWidget>("lstDestinationfields")
            ->addItems({"x.example", "y.example", "x.example"});
        f.tp.autostart.entries.clear();
        f.find<QPushButton>("exit")->click();
        QCOMPARE(order, (QStringList{"tray remove", "log closed", "process ended"}));
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
            f.window->controls().exit1->trigger();
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
