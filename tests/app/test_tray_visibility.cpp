#include "app/FormTimer.h"
#include "app/PictureButton.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

// A loaded main window whose blocking commands are counted instead of run.
struct Panel : WindowFixture {
    explicit Panel(const QString& seconds = QStringLiteral("3"), double scale = 0.01)
        : WindowFixture(scale) {
        tp.store("firsttime", "done");
        tp.store("wasfirsttime", "false");
        tp.store("Killpopups", "1");
        tp.store("secondsbeforeminimize", seconds);
        tp.store("popupkillspeed", ".2");
        make();
        window->startBlocking = [this] {
            // Starting blocking makes "Stop" usable, as the real start does.
            window->findChild<QPushButton*>("stop")->setEnabled(true);
            ++starts;
            startedAt = tp.clock.now();
        };
        window->stopBlocking = [this] { ++stops; };
        window->showBlockedLog = [this] { ++logViews; };
        window->openWebHelp = [this] { ++helps; };
        window->checkForUpdate = [this] { ++updateChecks; };
        window->antiHijackerPanel = [this] { ++hijackPanels; };
        loadedAt = tp.clock.now();
        window->load();
        window->show();
    }
    PictureButton* picture(const char* name) { return find<PictureButton>(QLatin1String(name)); }
    QPushButton* button(const char* name) { return find<QPushButton>(QLatin1String(name)); }
    bool shown(const char* name) { return picture(name)->isVisibleTo(window.get()); }
    // Stops the start chain so a test can drive the window by hand.
    void holdChain() { window->timer("Timer8")->setEnabled(false); }

    int starts = 0, stops = 0, logViews = 0, helps = 0, updateChecks = 0, hijackPanels = 0;
    double loadedAt = 0, startedAt = 0;
};

} // namespace

class TestTrayVisibility : public QObject {
    Q_OBJECT

private slots:
    void normalStart_countsDownHidesAndStartsBlockingOnce() {
        Panel p("3", 0.05);
        double trayAt = 0;
        p.tp.tray.onChange = [&](const QString&) { trayAt = p.tp.clock.now(); };
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Keep visible"));
        // Timer8 (2 s), Timer1 (0.5 s), three seconds of countdown, one second, then the icon.
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 5000);
        QVERIFY(!p.window->isVisible());
        const double iconAfter = trayAt - p.loadedAt;
        QVERIFY2(iconAfter >= 6.3 && iconAfter < 14.0, qPrintable(QString::number(iconAfter)));
        const double startAfter = p.startedAt - trayAt;
        QVERIFY2(startAfter >= 0.9 && startAfter < 4.0, qPrintable(QString::number(startAfter)));
        QCOMPARE(p.tp.tray.adds, 1);
        QCOMPARE(p.tp.tray.lastTip, QStringLiteral("Pagewarden 8.0"));
        QCOMPARE(p.tp.tray.lastMenu, p.window->trayMenu());
        QVERIFY(p.tp.tray.hasIcon);
        QCOMPARE(p.window->msg1->text(), QStringLiteral("0 Popups terminated"));
        QCOMPARE(p.window->stop_start->text(), QStringLiteral("Stop blocking popup ads"));
        QVERIFY(p.shown("Image2") && p.shown("Image10"));
        QVERIFY(!p.shown("Image6") && !p.shown("Image25"));
        QVERIFY(p.window->Label2->text().isEmpty());
        QVERIFY(!p.state.hidingToTray && !p.state.blockingStopped);
        QVERIFY(p.window->trayHooked());
        QCOMPARE(p.window->heightTwips(), p.window->normalHeight);
    }

    void countdownTexts() {
        Panel p("2", 0.05);
        p.holdChain();
        QStringList seen;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            const QString t = p.window->Label2->text();
            if (!t.isEmpty() && (seen.isEmpty() || seen.last() != t))
                seen << t;
        });
        sampler.start(1);
        p.button("Command1")->click();
        const QString text = "Program will start after a %1 second delay. To keep visible, press "
                             "'Keep visible' ";
        QVERIFY(seen.size() >= 2);
        QCOMPARE(seen.first(), text.arg("2"));
        QVERIFY(seen.contains(text.arg("1")));
        QCOMPARE(p.starts, 1);
        QVERIFY(p.window->Label2->text().isEmpty());
    }

    void countdownLengths_data() {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("atLeast");
        QTest::addColumn<double>("below");
        // Upper bounds leave room for a busy machine, where every wait can run late; the row that
        // must tell two seconds from three runs the clock slower to keep that room small.
        QTest::newRow("0 hides at once") << "0" << 0.05 << 0.0 << 3.0;
        QTest::newRow("4") << "4" << 0.05 << 4.0 << 8.0;
        QTest::newRow("not a number counts 10") << "soon" << 0.05 << 10.0 << 15.0;
        QTest::newRow("fraction counts whole seconds") << "2.9" << 0.2 << 2.0 << 2.95;
    }
    void countdownLengths() {
        QFETCH(QString, seconds);
        QFETCH(double, scale);
        QFETCH(double, atLeast);
        QFETCH(double, below);
        Panel p(seconds, scale);
        p.holdChain();
        // The moment the window goes, seen by the window itself.
        struct HideWatch : QObject {
            const Clock* clock = nullptr;
            double at = -1;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Hide && at < 0)
                    at = clock->now();
                return false;
            }
        } watch;
        watch.clock = &p.tp.clock;
        p.window->installEventFilter(&watch);
        const double t0 = p.tp.clock.now();
        p.button("Command1")->click();
        QVERIFY(watch.at >= 0);
        QVERIFY2(watch.at - t0 >= atLeast - 0.05 && watch.at - t0 < below,
                 qPrintable(QString::number(watch.at - t0)));
    }

    void keepVisible_stopsTheCountdownAndAddsTheIcon() {
        Panel p("5");
        p.holdChain();
        QTimer::singleShot(15, p.button("Command3"), &QPushButton::click);
        p.button("Command1")->click();
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.starts, 0);
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Start"));
        QCOMPARE(p.window->stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.shown("Image6") && !p.shown("Image10"));
        QVERIFY(!p.window->Label2->isVisibleTo(p.window.get()));
        QVERIFY(p.window->keepVisible && p.state.startCountdownCancelled);
        QCOMPARE(p.tp.tray.adds, 1);

        // "Start" hides the window about half a second later and blocking starts.
        const double pressed = p.tp.clock.now();
        p.button("Command3")->click();
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 2000);
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.window->keepVisible);
        QVERIFY(p.tp.clock.now() - pressed >= 0.5 + 2.0 - 0.1);
        QCOMPARE(p.tp.tray.adds, 1);
        QVERIFY(!p.tp.busy.busy);
    }

    void keepVisible_throughItsPicture() {
        Panel p("5");
        p.holdChain();
        p.picture("Image10")->click();
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Start"));
        p.picture("Image6")->click();
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 2000);
    }

    void start_closesTheOptionsPanelFirst() {
        Panel p("5");
        p.holdChain();
        p.button("Command4")->click(); // opening options presses "Keep visible"
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Start"));
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Hide Options"));
        p.button("Command3")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Options"));
        QVERIFY(!p.find<QGroupBox>("Frame5")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 2000);
    }

    void reopenAndHide_hidesAgainWithoutStartingBlockingTwice() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 3000);
        QVERIFY(!p.window->isVisible());
        p.window->rest1->trigger();
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Hide"));
        QVERIFY(p.shown("Image25") && !p.shown("Image10"));
        const double pressed = p.tp.clock.now();
        double hiddenAt = -1;
        p.button("Command3")->click();
        QVERIFY(p.state.hidingToTray);
        QTRY_VERIFY_WITH_TIMEOUT(!p.window->isVisible(), 2000);
        hiddenAt = p.tp.clock.now();
        QVERIFY2(hiddenAt - pressed >= 0.19, qPrintable(QString::number(hiddenAt - pressed)));
        QTRY_VERIFY_WITH_TIMEOUT(!p.state.hidingToTray, 2000);
        QTest::qWait(50);
        QCOMPARE(p.starts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void hideWithImage25_leavesBlockingAlone() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 3000);
        p.window->rest1->trigger();
        p.picture("Image25")->click();
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.shown("Image25") && !p.shown("Image10"));
        QTest::qWait(50);
        QCOMPARE(p.starts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void hideWithImage25_beforeAnyIcon_putsItUp() {
        Panel p("5");
        p.holdChain();
        p.picture("Image25")->click();
        QVERIFY(!p.window->isVisible());
        QCOMPARE(p.tp.tray.adds, 1);
        QCOMPARE(p.starts, 0);
    }

    void trayStopAndStart() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 3000);
        // Stop: the caption flips and the stop command runs.
        p.window->stop_start->trigger();
        QCOMPARE(p.window->stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.state.blockingStopped);
        QVERIFY(!p.shown("Image2") && !p.shown("Image10") && p.shown("Image6"));
        // Start: the window comes back, then hides itself again; the held cycle goes on.
        p.window->stop_start->trigger();
        QCOMPARE(p.window->stop_start->text(), QStringLiteral("Stop blocking popup ads"));
        QVERIFY(p.window->timer("Timer6")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!p.state.blockingStopped, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!p.state.hidingToTray, 3000);
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.window->timer("Timer6")->isEnabled());
        QCOMPARE(p.starts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void rightButtonOpensTheMenu_leftDoesNothing() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 3000);
        QMenu* menu = p.window->trayMenu();
        QVERIFY(!menu->isVisible());
        p.tp.tray.pressRightButton();
        QVERIFY(menu->isVisible());
        QStringList captions;
        for (QAction* a : menu->actions())
            captions << a->text();
        QCOMPARE(captions, (QStringList{"Open Pagewarden 8.0", "0 Popups terminated",
                                        "Stop blocking popup ads", "&Exit"}));
        menu->hide();
    }

    void menuCommands_reachTheirHandlers() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 3000);
        p.window->msg1->trigger();
        QCOMPARE(p.logViews, 1);
        p.window->exit1->trigger();
        QCOMPARE(p.tp.processExit.exits, 1);
        QCOMPARE(p.tp.tray.removes, 1);
    }

    void noNotificationArea_minimisesAndKeepsTheMenuOnThePanel() {
        Panel p("5");
        p.tp.tray.available = false;
        p.holdChain();
        p.button("Command3")->click(); // keep visible
        p.button("Command3")->click(); // start
        QTRY_VERIFY_WITH_TIMEOUT(p.starts == 1, 2000);
        QVERIFY(p.window->isMinimized());
        QCOMPARE(p.tp.tray.adds, 0);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(50, 50));
        QApplication::sendEvent(p.window.get(), &event);
        QVERIFY(p.window->trayMenu()->isVisible());
        p.window->trayMenu()->hide();
        p.window->rest1->trigger();
        QVERIFY(p.window->isVisible() && !p.window->isMinimized());
    }

    void pictureButtons_reachTheirHandlers_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("counter");
        QTest::newRow("Image1 starts") << "Image1"
                                       << "starts";
        QTest::newRow("Image2 stops") << "Image2"
                                      << "stops";
        QTest::newRow("Image14 log") << "Image14"
                                     << "logViews";
        QTest::newRow("Image5 log") << "Image5"
                                    << "logViews";
        QTest::newRow("Image9 help") << "Image9"
                                     << "helps";
        QTest::newRow("Image12 update") << "Image12"
                                        << "updateChecks";
        QTest::newRow("Image13 hijacker") << "Image13"
                                          << "hijackPanels";
    }
    void pictureButtons_reachTheirHandlers() {
        QFETCH(QString, picture);
        QFETCH(QString, counter);
        Panel p("5");
        p.holdChain();
        p.window->timer("Timer1")->setEnabled(true);
        p.window->timer("Timer2")->setEnabled(true);
        p.find<PictureButton>(picture)->click();
        const QMap<QString, int> counts{{"starts", p.starts},
                                        {"stops", p.stops},
                                        {"logViews", p.logViews},
                                        {"helps", p.helps},
                                        {"updateChecks", p.updateChecks},
                                        {"hijackPanels", p.hijackPanels}};
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            QCOMPARE(it.value(), it.key() == counter ? 1 : 0);
        if (picture == "Image5")
            QVERIFY(!p.window->timer("Timer1")->isEnabled());
        if (picture == "Image12")
            QVERIFY(!p.window->timer("Timer2")->isEnabled());
    }

    void otherPicturesAndCommands() {
        Panel p("5");
        p.holdChain();
        p.picture("Image8")->click();
        QCOMPARE(p.tp.messages.texts.last(),
                 QStringLiteral("Options have been reset to original default settings"));
        p.picture("Image11")->click();
        QCOMPARE(p.window->findChildren<QDialog*>("frmAbout").size(), 1);
        p.picture("Image7")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Hide Options"));
        p.picture("Image7")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Options"));

        // "View log" and "Go!" do nothing.
        p.button("Command11")->click();
        p.button("go")->click();
        QCOMPARE(p.logViews + p.starts + p.stops, 0);

        const auto command5 = p.window->findChildren<QPushButton*>("Command5");
        command5.at(0)->click();
        QCOMPARE(p.starts, 1);
        QVERIFY(!command5.at(0)->isEnabled());
        command5.at(1)->click();
        QCOMPARE(p.stops, 1);
        p.button("stop")->setEnabled(true);
        p.button("stop")->click();
        QCOMPARE(p.stops, 2);
    }

    void cmdOK_hidesWithoutAnIcon_Command2Exits() {
        Panel p("5");
        p.holdChain();
        p.button("cmdOK")->click();
        QVERIFY(!p.window->isVisible());
        QCOMPARE(p.tp.tray.adds, 0);
        p.window->show();
        p.button("Command2")->click();
        QCOMPARE(p.tp.processExit.exits, 1);
    }

    void handCursorOnTheListedPictures_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("hand");
        for (const char* name : {"Image1", "Image2", "Image4", "Image5", "Image6", "Image7",
                                 "Image8", "Image9", "Image11", "Image12", "Image13"})
            QTest::newRow(name) << name << true;
        for (const char* name : {"Image3", "Image10", "Image14", "Image25"})
            QTest::newRow(name) << name << false;
    }
    void handCursorOnTheListedPictures() {
        QFETCH(QString, picture);
        QFETCH(bool, hand);
        Panel p("5");
        p.holdChain();
        auto* image = p.find<PictureButton>(picture);
        QCOMPARE(image->testAttribute(Qt::WA_SetCursor), hand);
        if (hand)
            QCOMPARE(image->cursor().shape(), Qt::PointingHandCursor);
    }
};

PAGEWARDEN_TEST_MAIN(TestTrayVisibility, QApplication)
#include "test_tray_visibility.moc"
