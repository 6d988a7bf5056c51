#include "app/PanelCommands.h"
#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "shell/ui/PictureButton.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

namespace {

// A loaded, shown main window; its start command is counted instead of run (see WindowFixture),
// everything else is the program's own wiring.
struct Panel : WindowFixture {
    explicit Panel(const QString& seconds = QStringLiteral("3"), double scale = 0.01)
        : WindowFixture(scale) {
        tp.store("firsttime", "done");
        tp.store("wasfirsttime", "false");
        tp.store("Killpopups", "1");
        tp.store("secondsbeforeminimize", seconds);
        tp.store("popupkillspeed", ".2");
        make();
        QObject::connect(&window->presenter(), &BlockingPresenter::startRequested,
                         [this] { startedAt = tp.clock.now(); });
        loadedAt = tp.clock.now();
        window->load();
        window->show();
    }
    const PanelControls& c() const { return window->controls(); }
    PictureButton* picture(const char* name) { return c().picture(name); }
    QPushButton* button(const char* name) { return c().command(name); }
    bool shown(const char* name) { return picture(name)->isVisibleTo(window.get()); }
    const ProgramState& state() const { return window->session().state(); }
    // Stops the start chain so a test can drive the window by hand.
    void holdChain() { c().timer("Timer8")->setEnabled(false); }

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
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 5000);
        QVERIFY(!p.window->isVisible());
        // Timer8, Timer1 and the countdown come before the icon; one second more before the start.
        QVERIFY2(trayAt - p.loadedAt >= 6.3, qPrintable(QString::number(trayAt - p.loadedAt)));
        QVERIFY2(p.startedAt - trayAt >= 0.9, qPrintable(QString::number(p.startedAt - trayAt)));
        QCOMPARE(p.tp.tray.adds, 1);
        QCOMPARE(p.tp.tray.lastTip, QStringLiteral("Pagewarden 8.0"));
        QCOMPARE(p.tp.tray.lastMenu, p.c().trayMenu);
        QVERIFY(p.tp.tray.hasIcon);
        QCOMPARE(p.c().msg1->text(), QStringLiteral("0 Popups terminated"));
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Stop blocking popup ads"));
        QVERIFY(p.shown("Image2") && p.shown("Image10"));
        QVERIFY(!p.shown("Image6") && !p.shown("Image25"));
        QVERIFY(p.c().Label2->text().isEmpty());
        QVERIFY(!p.state().hidingToTray && !p.state().blockingStopped);
        QVERIFY(p.window->tray().trayHooked());
        QCOMPARE(p.window->heightTwips(), p.window->normalHeight);
    }

    void countdownTexts() {
        Panel p("2", 0.05);
        p.holdChain();
        QSignalSpy shown(&p.window->tray(), &TrayController::countdownShown);
        QStringList onTheLabel;
        connect(&p.window->tray(), &TrayController::countdownShown, this,
                [&] { onTheLabel << p.c().Label2->text(); });
        p.button("Command1")->click();
        const QString text = "Program will start after a %1 second delay. To keep visible, press "
                             "'Keep visible' ";
        QStringList texts;
        for (const QList<QVariant>& args : shown)
            texts << args.at(0).toString();
        QCOMPARE(texts.first(), text.arg("2"));
        QVERIFY(texts.contains(text.arg("1")));
        QCOMPARE(onTheLabel, texts);
        QCOMPARE(p.blockingStarts, 1);
        QVERIFY(p.c().Label2->text().isEmpty());
    }

    void countdownLengths_data() {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QStringList>("counted");
        QTest::newRow("0 hides at once") << "0" << QStringList{"0"};
        QTest::newRow("4") << "4" << QStringList{"4", "3", "2", "1", "0"};
        QTest::newRow("not a number counts 10")
            << "soon" << QStringList{"soon", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"};
        QTest::newRow("fraction counts whole seconds") << "2.9" << QStringList{"2.9", "1", "0"};
    }
    void countdownLengths() {
        QFETCH(QString, seconds);
        QFETCH(QStringList, counted);
        Panel p(seconds);
        p.holdChain();
        QStringList seen;
        connect(&p.window->tray(), &TrayController::countdownShown, this,
                [&](const QString& text) { seen << text.section(' ', 5, 5); });
        const double t0 = p.tp.clock.now();
        p.button("Command1")->click();
        // One count a second on the program's clock; a late wait on a busy machine may end the
        // countdown before it shows every count, never after.
        QVERIFY(seen.size() >= std::min<qsizetype>(2, counted.size()));
        QCOMPARE(seen, counted.mid(0, seen.size()));
        QVERIFY(!p.window->isVisible());
        QVERIFY(p.tp.clock.now() - t0 >= counted.size() - 1);
    }

    void keepVisible_stopsTheCountdownAndAddsTheIcon() {
        Panel p("5");
        p.holdChain();
        QTimer::singleShot(15, p.button("Command3"), &QPushButton::click);
        p.button("Command1")->click();
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.blockingStarts, 0);
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Start"));
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.shown("Image6") && !p.shown("Image10"));
        QVERIFY(!p.c().Label2->isVisibleTo(p.window.get()));
        QVERIFY(p.window->tray().keepVisible());
        QCOMPARE(p.tp.tray.adds, 1);

        // "Start" hides the window about half a second later and blocking starts.
        const double pressed = p.tp.clock.now();
        p.button("Command3")->click();
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 2000);
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.window->tray().keepVisible());
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
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 2000);
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
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 2000);
    }

    void reopenAndHide_hidesAgainWithoutStartingBlockingTwice() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 3000);
        QVERIFY(!p.window->isVisible());
        p.c().rest1->trigger();
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Hide"));
        QVERIFY(p.shown("Image25") && !p.shown("Image10"));
        const double pressed = p.tp.clock.now();
        double hiddenAt = -1;
        p.button("Command3")->click();
        QVERIFY(p.state().hidingToTray);
        QTRY_VERIFY_WITH_TIMEOUT(!p.window->isVisible(), 2000);
        hiddenAt = p.tp.clock.now();
        QVERIFY2(hiddenAt - pressed >= 0.19, qPrintable(QString::number(hiddenAt - pressed)));
        QTRY_VERIFY_WITH_TIMEOUT(!p.state().hidingToTray, 2000);
        QTest::qWait(50);
        QCOMPARE(p.blockingStarts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void hideWithImage25_leavesBlockingAlone() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 3000);
        p.c().rest1->trigger();
        p.picture("Image25")->click();
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.shown("Image25") && !p.shown("Image10"));
        QTest::qWait(50);
        QCOMPARE(p.blockingStarts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void hideWithImage25_beforeAnyIcon_putsItUp() {
        Panel p("5");
        p.holdChain();
        p.picture("Image25")->click();
        QVERIFY(!p.window->isVisible());
        QCOMPARE(p.tp.tray.adds, 1);
        QCOMPARE(p.blockingStarts, 0);
    }

    void trayStopAndStart() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 3000);
        // Stop: the caption flips and the stop command runs.
        p.c().stop_start->trigger();
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.state().blockingStopped);
        QVERIFY(!p.shown("Image2") && !p.shown("Image10") && p.shown("Image6"));
        // Start: the window comes back, then hides itself again; the held cycle goes on.
        p.c().stop_start->trigger();
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Stop blocking popup ads"));
        QVERIFY(p.c().timer("Timer6")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!p.state().blockingStopped, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!p.state().hidingToTray, 3000);
        QVERIFY(!p.window->isVisible());
        QVERIFY(!p.c().timer("Timer6")->isEnabled());
        QCOMPARE(p.blockingStarts, 1);
        QCOMPARE(p.tp.tray.adds, 1);
    }

    void rightButtonOpensTheMenu_leftDoesNothing() {
        Panel p("0");
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 3000);
        QMenu* menu = p.c().trayMenu;
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
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 3000);
        QSignalSpy logViews(&p.window->commands(), &PanelCommands::showBlockedLog);
        p.c().msg1->trigger();
        QCOMPARE(logViews.count(), 1);
        p.c().exit1->trigger();
        QCOMPARE(p.tp.processExit.exits, 1);
        QCOMPARE(p.tp.tray.removes, 1);
    }

    void noNotificationArea_minimisesAndKeepsTheMenuOnThePanel() {
        Panel p("5");
        p.tp.tray.available = false;
        p.holdChain();
        p.button("Command3")->click(); // keep visible
        p.button("Command3")->click(); // start
        QTRY_VERIFY_WITH_TIMEOUT(p.blockingStarts == 1, 2000);
        QVERIFY(p.window->isMinimized());
        QCOMPARE(p.tp.tray.adds, 0);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(50, 50));
        QApplication::sendEvent(p.window.get(), &event);
        QVERIFY(p.c().trayMenu->isVisible());
        p.c().trayMenu->hide();
        p.c().rest1->trigger();
        QVERIFY(p.window->isVisible() && !p.window->isMinimized());
    }

    void picturesReachTheirCommands_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("command");
        QTest::newRow("Image1 starts") << "Image1"
                                       << "start";
        QTest::newRow("Image2 stops") << "Image2"
                                      << "stop";
        QTest::newRow("Image14 log") << "Image14"
                                     << "log";
        QTest::newRow("Image5 log") << "Image5"
                                    << "log";
        QTest::newRow("Image9 help") << "Image9"
                                     << "help";
        QTest::newRow("Image12 update") << "Image12"
                                        << "update";
        QTest::newRow("Image13 hijacker") << "Image13"
                                          << "hijacker";
    }
    void picturesReachTheirCommands() {
        QFETCH(QString, picture);
        QFETCH(QString, command);
        Panel p("5");
        p.holdChain();
        p.c().timer("Timer1")->setEnabled(true);
        p.c().timer("Timer2")->setEnabled(true);
        PanelCommands& commands = p.window->commands();
        QSignalSpy stop(&p.window->presenter(), &BlockingPresenter::stopRequested);
        QSignalSpy log(&commands, &PanelCommands::showBlockedLog);
        QSignalSpy help(&commands, &PanelCommands::openWebHelp);
        QSignalSpy update(&commands, &PanelCommands::checkForUpdate);
        QSignalSpy hijacker(&commands, &PanelCommands::antiHijackerPanel);
        p.find<PictureButton>(picture)->click();
        const QMap<QString, int> counts{
            {"start", p.blockingStarts},     {"stop", int(stop.count())},
            {"log", int(log.count())},       {"help", int(help.count())},
            {"update", int(update.count())}, {"hijacker", int(hijacker.count())}};
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            QCOMPARE(it.value(), it.key() == command ? 1 : 0);
        // The log's picture stops the countdown's start; the update check its timer.
        QCOMPARE(p.c().timer("Timer1")->isEnabled(), picture != "Image5");
        QCOMPARE(p.c().timer("Timer2")->isEnabled(), picture != "Image12");
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
        QSignalSpy stops(&p.window->presenter(), &BlockingPresenter::stopRequested);
        QSignalSpy logs(&p.window->commands(), &PanelCommands::showBlockedLog);
        p.button("Command11")->click();
        p.button("go")->click();
        QCOMPARE(logs.count() + p.blockingStarts + stops.count(), 0);

        const auto command5 = p.c().command5;
        command5.at(0)->click();
        QCOMPARE(p.blockingStarts, 1);
        QVERIFY(!command5.at(0)->isEnabled());
        command5.at(1)->click();
        QCOMPARE(stops.count(), 1);
        QVERIFY(p.state().blockingStopped);
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
};

PAGEWARDEN_TEST_MAIN(TestTrayVisibility, QApplication)
#include "test_tray_visibility.moc"
