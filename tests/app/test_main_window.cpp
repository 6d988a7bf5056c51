#include "app/PanelCommands.h"
#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/SettingsBackend.h"
#include "settings/SettingsStore.h"
#include "settings/ui/OptionsPanel.h"
#include "shell/ColourScheme.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"
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
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// A loaded, shown main window; its start command is counted instead of run (see WindowFixture),
// everything else is the program's own wiring. `hold` stops the start chain so that a test drives
// the window by hand.
struct Panel : WindowFixture {
    explicit Panel(const QString& seconds, bool hold = true) {
        for (const auto& [key, value] : {std::pair{"firsttime", "done"},
                                         {"wasfirsttime", "false"},
                                         {"Killpopups", "1"},
                                         {"popupkillspeed", ".2"}})
            tp.store(key, value);
        tp.store("secondsbeforeminimize", seconds);
        make();
        QObject::connect(&window->presenter(), &BlockingPresenter::startRequested,
                         [this] { startedAt = tp.clock.now(); });
        window->load();
        window->show();
        if (hold)
            c().timer("Timer8")->setEnabled(false);
    }
    const PanelControls& c() const { return window->controls(); }
    PictureButton* picture(const char* name) { return c().picture(name); }
    QPushButton* button(const char* name) { return c().command(name); }
    bool shown(const char* name) { return picture(name)->isVisibleTo(window.get()); }
    const ProgramState& state() const { return window->session().state(); }
    QStringList menu() const {
        QStringList captions;
        for (QAction* a : c().trayMenu->actions())
            captions << a->text();
        return captions;
    }
    double startedAt = 0;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // One count a second on the program's clock (a late wait on a busy machine may end the
    // countdown before it shows every count, never after); then the icon, and a second later
    // blocking starts.
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
        QStringList seen, onTheLabel;
        connect(&p.window->tray(), &TrayController::countdownShown, this, [&](const QString& text) {
            seen << text.section(' ', 5, 5);
            onTheLabel << p.c().Label2->text();
        });
        double trayAt = 0;
        p.tp.tray.onChange = [&](const QString&) { trayAt = p.tp.clock.now(); };
        const double t0 = p.tp.clock.now();
        p.button("Command1")->click();
        QCOMPARE(onTheLabel.first(), "Program will start after a " + seconds +
                                         " second delay. To keep visible, press 'Keep visible' ");
        QVERIFY(seen.size() >= std::min<qsizetype>(2, counted.size()));
        QCOMPARE(seen, counted.mid(0, seen.size()));
        QVERIFY(!p.window->isVisible());
        QVERIFY(trayAt - t0 >= counted.size() - 1 && p.startedAt - trayAt >= 0.9);
        QCOMPARE(p.blockingStarts, 1);
        QVERIFY(p.c().Label2->text().isEmpty());
        QCOMPARE(p.tp.tray.adds, 1);
        QVERIFY(p.tp.tray.hasIcon && p.tp.tray.lastMenu == p.c().trayMenu &&
                p.tp.tray.lastTip == "Pagewarden 8.0");
        QVERIFY(p.shown("Image2") && p.shown("Image10") && !p.shown("Image6"));
        QVERIFY(!p.state().hidingToTray && !p.state().blockingStopped);
        // The right button on the icon opens the menu, which now counts the closed popups.
        p.tp.tray.pressRightButton();
        QVERIFY(p.c().trayMenu->isVisible());
        QCOMPARE(p.menu(), (QStringList{"Open Pagewarden 8.0", "0 Popups terminated",
                                        "Stop blocking popup ads", "&Exit"}));
        p.c().trayMenu->hide();
    }

    void keepVisible_stopsTheCountdown_startHidesAndStarts_data() {
        QTest::addColumn<bool>("byPicture");
        QTest::newRow("buttons") << false;
        QTest::newRow("pictures") << true;
    }
    void keepVisible_stopsTheCountdown_startHidesAndStarts() {
        QFETCH(bool, byPicture);
        Panel p("5");
        if (byPicture) {
            p.picture("Image10")->click();
        } else { // pressed while the countdown runs
            QTimer::singleShot(15, p.button("Command3"), &QPushButton::click);
            p.button("Command1")->click();
        }
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Start"));
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.shown("Image6") && !p.shown("Image10") &&
                !p.c().Label2->isVisibleTo(p.window.get()));
        QCOMPARE(p.tp.tray.adds, 1);
        // "Start" closes the options panel first and hides the window half a second later.
        p.button("Command4")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Hide Options"));
        QVERIFY(!p.c().timer("Timer1")->isEnabled()); // the options leave "Start" alone
        const double pressed = p.tp.clock.now();
        if (byPicture)
            p.picture("Image6")->click();
        else
            p.button("Command3")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Options"));
        QVERIFY(!p.find<QGroupBox>("Frame5")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 1, 30000);
        QVERIFY(!p.window->isVisible() && !p.window->tray().keepVisible());
        QVERIFY(p.tp.clock.now() - pressed >= 0.5 + 2.0 - 0.1);
        QCOMPARE(p.tp.tray.adds, 1);
        QVERIFY(!p.tp.busy.busy);
    }

    void reopenThenHide_neverStartsBlockingTwice_data() {
        QTest::addColumn<QString>("hide");
        QTest::newRow("Hide") << "Command3";
        QTest::newRow("Image25") << "Image25";
    }
    void reopenThenHide_neverStartsBlockingTwice() {
        QFETCH(QString, hide);
        Panel p("0", false);
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 1, 30000);
        p.c().rest1->trigger();
        QVERIFY(p.window->isVisible() && p.shown("Image25") && !p.shown("Image10"));
        QCOMPARE(p.button("Command3")->text(), QStringLiteral("Hide"));
        if (hide == "Image25") {
            p.picture("Image25")->click();
            QVERIFY(!p.window->isVisible() && !p.shown("Image25"));
        } else {
            p.button("Command3")->click();
            QVERIFY(p.state().hidingToTray);
            QTRY_VERIFY_WITH_TIMEOUT(!p.window->isVisible(), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(!p.state().hidingToTray, 30000);
        }
        QVERIFY(p.blockingStarts == 1 && p.tp.tray.adds == 1);
    }

    void trayStopAndStart() {
        Panel p("0", false);
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 1, 30000);
        p.c().stop_start->trigger();
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Start blocking popup ads"));
        QVERIFY(p.state().blockingStopped);
        QVERIFY(!p.shown("Image2") && !p.shown("Image10") && p.shown("Image6"));
        // Start: the window comes back, then hides itself again; the held cycle goes on.
        p.c().stop_start->trigger();
        QCOMPARE(p.c().stop_start->text(), QStringLiteral("Stop blocking popup ads"));
        QTRY_VERIFY_WITH_TIMEOUT(!p.state().blockingStopped && !p.state().hidingToTray, 30000);
        QVERIFY(!p.window->isVisible() && p.blockingStarts == 1 && p.tp.tray.adds == 1);
    }

    void noNotificationArea_minimisesAndKeepsTheMenuOnThePanel() {
        Panel p("5");
        p.tp.tray.available = false;
        p.button("Command3")->click(); // keep visible
        p.button("Command3")->click(); // start
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 1, 30000);
        QVERIFY(p.window->isMinimized());
        QCOMPARE(p.tp.tray.adds, 0);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(50, 50));
        QApplication::sendEvent(p.window.get(), &event);
        QVERIFY(p.c().trayMenu->isVisible());
        p.c().trayMenu->hide();
        p.c().rest1->trigger();
        QVERIFY(p.window->isVisible() && !p.window->isMinimized());
    }

    void picturesAndCommands() {
        Panel p("5");
        for (const char* timer : {"Timer1", "Timer2"})
            p.c().timer(timer)->setEnabled(true);
        QSignalSpy stops(&p.window->presenter(), &BlockingPresenter::stopRequested);
        // The log's picture holds the countdown's start, the update check its timer.
        p.picture("Image5")->click();
        p.picture("Image12")->click();
        QVERIFY(!p.c().timer("Timer1")->isEnabled() && !p.c().timer("Timer2")->isEnabled());
        p.picture("Image1")->click();
        p.picture("Image2")->click();
        QVERIFY(p.blockingStarts == 1 && stops.count() == 1 && p.state().blockingStopped);
        // Each press of "About" makes a box of its own, not modal.
        p.picture("Image11")->click();
        p.button("Command13")->click();
        const auto boxes = p.window->findChildren<QDialog*>("frmAbout");
        QVERIFY(boxes.size() == 2 && !boxes.at(0)->isModal());
        p.picture("Image7")->click();
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Hide Options"));
        p.button("cmdOK")->click();
        QVERIFY(!p.window->isVisible());
        QCOMPARE(p.tp.tray.adds, 1); // from "Keep visible", which the options pressed
    }

    // Every way out removes the icon, closes the log, stores the panel and hijack list and writes
    // or removes the start-with-login entry, then ends the process.
    void exitWays_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("startUp");
        for (const char* way : {"close", "Image3", "exit1", "Command2"})
            QTest::newRow(way) << way << true;
        QTest::newRow("box clear") << "exit" << false;
    }
    void exitWays() {
        QFETCH(QString, way);
        QFETCH(bool, startUp);
        Panel p("5");
        QStringList order;
        p.window->session().log().LogBlocked("x<===>y");
        p.button("Command3")->click(); // "Keep visible" puts up the icon
        p.tp.tray.onChange = [&](const QString& what) { order << "tray " + what; };
        p.tp.processExit.onExit = [&] {
            order << (p.window->session().log().logFileOpen() ? "log open" : "log closed");
        };
        p.find<QCheckBox>("killallbrowsers")->setCheckState(Qt::Checked);
        p.find<QComboBox>("popupkillspeed")->setEditText(".05");
        p.find<QListWidget>("lstDestinationfields")
            ->addItems({"x.example", "y.example", "x.example"});
        p.find<QCheckBox>("chkStartUp")->setCheckState(startUp ? Qt::Checked : Qt::Unchecked);
        p.tp.autostart.entries.clear();
        if (!startUp)
            p.tp.autostart.entries["Pagewarden 8.0"] = "stale";
        if (way == "close")
            p.window->close();
        else if (way == "exit1")
            p.c().exit1->trigger();
        else if (way.startsWith("Image"))
            p.find<PictureButton>(way)->click();
        else
            p.button(qPrintable(way))->click();
        QCOMPARE(order, (QStringList{"tray remove", "log closed"}));
        QCOMPARE(p.tp.processExit.exits, 1);
        QCOMPARE(p.tp.stored("killallbrowsers") + p.tp.stored("popupkillspeed") + " " +
                     p.tp.stored("spyware_urls") + " " + p.tp.stored("StartUp"),
                 QString("1.05 x.example<->y.example ") + (startUp ? "1" : "0"));
        QCOMPARE(p.tp.autostart.hasEntry("Pagewarden 8.0"), startUp);
    }

    void browserStatus_homePageAndScheme() {
        Panel p("5");
        QLabel* line = p.c().browserStatus;
        const QString longText =
            "Cannot reach the browser at http://127.0.0.1:9222/json/version: connection refused; "
            "start it with --remote-debugging-port=9222 or set browser_endpoint";
        p.window->showBrowserStatus(longText);
        QCOMPARE(line->toolTip(), longText);
        QVERIFY(line->text().endsWith(QChar(0x2026)) &&
                longText.startsWith(line->text().chopped(1)));
        QVERIFY(line->fontMetrics()
                    .boundingRect(QRect(0, 0, line->contentsRect().width(), 10000),
                                  Qt::TextWordWrap, line->text())
                    .height() <= line->contentsRect().height());
        p.find<QLineEdit>("Text2")->setText("http://mine.example/");
        QCOMPARE(p.store->desiredHomeUrl, QStringLiteral("http://mine.example/"));
        p.scheme.ApplyColourScheme("Gold", *p.store);
        const QImage gold = p.window->grab().toImage();
        QCOMPARE(QColor(gold.pixel(gold.width() - 2, gold.height() - 2)), QColor(255, 192, 128));
    }

    // Only the exact names are schemes; any other name changes nothing, not even what is stored.
    void unknownNamesChangeNothing() {
        QTemporaryDir dir;
        IniSettingsBackend backend(dir.filePath("s.conf"));
        SettingsStore store(backend);
        ColourScheme scheme;
        scheme.ApplyColourScheme("Red", store);
        const ColourScheme red = scheme;
        for (const char* name : {"gold", "Blue ", "", "Purple"}) {
            scheme.ApplyColourScheme(name, store);
            QCOMPARE(scheme.paintColour(), red.paintColour());
            QCOMPARE(scheme.controlBackColor, red.controlBackColor);
            QCOMPARE(scheme.buttonPicturePath, red.buttonPicturePath);
            QCOMPARE(store.get_option("backgroundcolor"), QStringLiteral("Red"));
        }

        // The form's style: bold 10 pt on the controls, the scheme's colour behind the framed
        // ones; lists keep their own font; "True" is not "true" and leaves bold off.
        QWidget form;
        auto* check = new QCheckBox("check", &form);
        auto* list = new QListWidget(&form);
        const QFont listFont = list->font();
        ApplyFormStyle(form, scheme);
        QVERIFY(check->font().bold() && check->font().pointSize() == 10);
        QCOMPARE(check->palette().color(QPalette::Window), QColor(255, 192, 192));
        QCOMPARE(list->font(), listFont);
        scheme.styleFontSize = "12";
        scheme.styleBold = "True";
        ApplyFormStyle(form, scheme);
        QVERIFY(check->font().pointSize() == 12 && !check->font().bold());
    }

    void storedValuesShownInThePanel_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored"); // null: not stored
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* key, QString stored, const char* control,
                            const char* shown) {
            QTest::newRow(name) << key << stored << control << shown;
        };
        row("seconds missing", "secondsbeforeminimize", QString(), "secsbeforemin", "0");
        row("seconds empty", "secondsbeforeminimize", "", "secsbeforemin", "10");
        row("speed empty", "popupkillspeed", "", "popupkillspeed", ".2");
        row("typed text kept", "popupkillspeed", "fast please", "popupkillspeed", "fast please");
        row("box 2 is greyed", "Killbrowsers", "2", "kill_browsers", "2");
        row("box 7 is the default", "Beep", "7", "chkbeep", "0");
        row("box text is the default", "killallbrowsers", "yes", "killallbrowsers", "0");
        row("box missing", "StartUp", QString(), "chkStartUp", "0");
    }
    void storedValuesShownInThePanel() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        WindowFixture f;
        f.tp.store("firsttime", "done");
        f.tp.store("wasfirsttime", "false");
        if (!stored.isNull())
            f.tp.store(key, stored);
        f.load();
        if (auto* combo = f.find<QComboBox>(control))
            QCOMPARE(combo->currentText(), shown);
        else
            QCOMPARE(OptionsPanel::boxValue(*f.find<QCheckBox>(control)), shown);
    }

    void onlyTheMissingMarkerRepeatsItsStep() {
        // "firsttime" done but "wasfirsttime" missing: only the start-with-login step repeats.
        WindowFixture f;
        f.tp.store("firsttime", "done");
        f.tp.store("secondsbeforeminimize", "3");
        f.tp.store("StartUp", "1");
        f.load();
        QCOMPARE(f.tp.stored("wasfirsttime"), QStringLiteral("false"));
        QCOMPARE(f.tp.stored("secondsbeforeminimize"), QStringLiteral("3"));
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
        // "wasfirsttime" known but "firsttime" missing: only the option defaults are stored,
        // and they tick the start-with-login box, which writes the entry.
        WindowFixture g;
        g.tp.store("wasfirsttime", "false");
        g.tp.store("StartUp", "0");
        g.load();
        QCOMPARE(g.tp.stored("firsttime"), QStringLiteral("done"));
        QCOMPARE(g.tp.stored("secondsbeforeminimize"), QStringLiteral("7"));
        QCOMPARE(g.tp.stored("StartUp"), QStringLiteral("1"));
        QVERIFY(g.tp.autostart.hasEntry("Pagewarden 8.0"));
    }

    // Some boxes store at once, the rest only at exit; "kill all browsers" stores nothing but
    // forces a pass.
    void clicksOnTheBoxes() {
        WindowFixture f;
        f.load();
        auto* startUp = f.find<QCheckBox>("chkStartUp");
        startUp->click();
        QVERIFY(!f.tp.autostart.hasEntry("Pagewarden 8.0"));
        QCOMPARE(f.tp.stored("StartUp"), QStringLiteral("0"));
        startUp->click();
        QCOMPARE(f.tp.autostart.entries.value("Pagewarden 8.0"),
                 QStringLiteral("/opt/pagewarden/bin/pagewarden"));
        QCOMPARE(f.tp.stored("StartUp"), QStringLiteral("1"));
        f.find<QCheckBox>("chkbeep")->click();
        f.find<QCheckBox>("chkHideOnStart")->click();
        QCOMPARE(f.tp.stored("Beep") + f.tp.stored("HideOnStart"), QStringLiteral("11"));
        f.find<QCheckBox>("kill_browsers")->click();
        f.find<QCheckBox>("kill_popups")->click();
        f.find<QComboBox>("secsbeforemin")->setEditText("9");
        QCOMPARE(f.tp.stored("Killbrowsers") + f.tp.stored("Killpopups") +
                     f.tp.stored("secondsbeforeminimize"),
                 QStringLiteral("017"));
        QVERIFY(!f.window->session().state().forcePass);
        f.find<QCheckBox>("killallbrowsers")->click();
        QVERIFY(f.window->session().state().forcePass);
        QCOMPARE(f.tp.stored("killallbrowsers"), QStringLiteral("0"));
    }

    void reset_restoresDefaultsWithFiveSeconds_andAlwaysSaysSo() {
        WindowFixture f;
        f.load();
        f.find<QCheckBox>("chkbeep")->click();
        f.find<QCheckBox>("kill_browsers")->click();
        f.find<QCheckBox>("chkStartUp")->click();
        f.find<QComboBox>("popupkillspeed")->setEditText("3.00");
        f.tp.store("firsttime", "0");
        for (int round = 1; round <= 2; ++round) {
            f.find<QPushButton>("Command8")->click();
            QCOMPARE(f.tp.messages.texts.size(), round);
            QCOMPARE(f.tp.messages.texts.last(),
                     QStringLiteral("Options have been reset to original default settings"));
            QCOMPARE(f.tp.messages.titles.last(), QStringLiteral("Pagewarden 8.0"));
        }
        const OptionsPanel& o = f.window->options();
        QCOMPARE(o.secondsBeforeStartText() + o.popupKillSpeedText(), QStringLiteral("5.2"));
        QVERIFY(o.killPopups() && o.startUpChecked() && !o.killBrowsers() && !o.beepOnKill());
        QCOMPARE(f.tp.stored("secondsbeforeminimize") + f.tp.stored("Killbrowsers") +
                     f.tp.stored("Beep") + f.tp.stored("firsttime"),
                 QStringLiteral("500done"));
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
    }
};

PAGEWARDEN_TEST_MAIN(TestMainWindow, QApplication)
#include "test_main_window.moc"
