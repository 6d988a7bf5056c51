#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "settings/ui/OptionsPanel.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace {

// A loaded, shown main window; unless it has a browser its start command is counted instead of run
// (see WindowFixture), everything else is the program's own wiring. `hold` stops the start chain so
// that a test drives the window by hand.
struct Panel : WindowFixture {
    // With a browser, blocking runs for real on it.
    explicit Panel(const QString& seconds, bool hold = true, BrowserWindows* browser = nullptr) {
        for (const QString& pair :
             QStringList{"firsttime=done", "wasfirsttime=false", "Killpopups=1",
                         "popupkillspeed=.05", "secondsbeforeminimize=" + seconds})
            tp.store(pair.section('=', 0, 0), pair.section('=', 1));
        realBlocking = browser;
        tp.platform.browser = browser;
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
    const ProgramState& state() const { return window->session().state(); }
    // What the user sees: where the window is; on a shown one Command3's caption and the pictures
    // that switch (as #n); the first word of the tray's start/stop item; then the icon, the
    // options, the busy pointer and a hide under way, where there.
    QString look() {
        QStringList seen{window->isHidden()      ? "hidden"
                         : window->isMinimized() ? "minimised"
                                                 : "shown"};
        if (seen.first() == "shown")
            seen << button("Command3")->text();
        for (const char* name : {"Image25", "Image10", "Image6", "Image2"})
            if (seen.first() == "shown" && picture(name)->isVisibleTo(window.get()))
                seen << QString(name).replace("Image", "#");
        seen << c().stop_start->text().section(' ', 0, 0);
        for (const auto& [on, flag] : {std::pair{tp.tray.shown, "icon"},
                                       {window->options().isShown(), "options"},
                                       {tp.busy.busy, "busy"},
                                       {state().hidingToTray, "hiding"}})
            seen << (on ? flag : "");
        seen.removeAll("");
        return seen.join(' ');
    }
    double startedAt = 0;
};

// The panel brought back after blocking started, and hidden again.
const QString reopened = "shown Hide #25 #2 Stop", after = " Stop";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // One count a second on the program's clock (a late wait on a busy machine may end the
    // countdown before it shows every count, never after); then the icon, and blocking starts
    // a second after the window went.
    void countdownLengths_data() {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QStringList>("counted");
        QTest::newRow("0 hides at once") << "0" << QStringList{"0"};
        QTest::newRow("4") << "4" << QStringList{"4", "3", "2", "1", "0"};
        QTest::newRow("not a number counts 10")
            << "soon" << QString("soon 9 8 7 6 5 4 3 2 1 0").split(' ');
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
        QVERIFY(trayAt - t0 >= counted.size() - 1 && p.startedAt - trayAt >= 0.9);
        QVERIFY(p.c().Label2->text().isEmpty() && p.blockingStarts == 1 && p.tp.tray.adds == 1);
        QVERIFY(p.tp.tray.hasIcon && p.tp.tray.lastMenu == p.c().trayMenu &&
                p.tp.tray.lastTip == "Pagewarden 8.0");
        QCOMPARE(p.look(), "hidden Stop icon");
        // The right button on the icon opens the menu, which now counts the closed popups.
        emit p.tp.tray.rightButtonDown(QPoint(100, 100));
        QVERIFY(p.c().trayMenu->isVisible() && p.c().msg1->text() == "0 Popups terminated");
        p.c().trayMenu->hide();
        // Its stop and start: the window comes back, then hides itself again; the held cycle
        // goes on, it is not started a second time.
        p.c().stop_start->trigger();
        QCOMPARE(p.look(), "hidden Start icon");
        QVERIFY(p.state().blockingStopped);
        p.c().stop_start->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!p.state().blockingStopped && p.look() == "hidden Stop icon",
                                 30000);
        QVERIFY(p.blockingStarts == 1 && p.tp.tray.adds == 1);
    }

    // The icon goes up as soon as an area appears, and the window is hidden only while an icon
    // can bring it back; an area that goes away sends the hidden window to the taskbar.
    void theNotificationAreaComesAndGoes() {
        Panel p("0", false);
        RecordingTray& tray = p.tp.tray;
        tray.available = false;
        p.button("cmdOK")->click(); // before any icon: to the taskbar, never out of reach
        QVERIFY(p.window->isMinimized());
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 1, 30000);
        QVERIFY(p.window->isMinimized() && tray.adds == 0);
        // Meanwhile the tray's menu lives on the panel.
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(50, 50));
        QApplication::sendEvent(p.window.get(), &event);
        QVERIFY(p.c().trayMenu->isVisible());
        p.c().trayMenu->hide();

        tray.setAvailable(true);
        QVERIFY(tray.shown && tray.adds == 1 && p.window->isMinimized());
        tray.setAvailable(false);
        QVERIFY(p.window->isMinimized());
        // An area that came without a word is seen at the next hide.
        p.window->setWindowState(Qt::WindowNoState);
        QCOMPARE(p.look(), reopened);
        tray.available = true;
        p.picture("Image25")->click();
        QCOMPARE(p.look(), "hidden" + after + " icon");
        tray.setAvailable(false);
        QCOMPARE(p.look(), "minimised" + after);
        tray.setAvailable(true);
        p.c().rest1->trigger();
        QCOMPARE(p.look(), reopened + " icon");
        QVERIFY(tray.adds == 3 && p.blockingStarts == 1);
    }

    // The whole chain with real blocking on the in-memory browser: load, Timer8, Timer1, the
    // countdown, the hide, the cycle, a popup closed, counted once on the panel and in the menu
    // (in the singular), and logged.
    void fromLoadToAClosedPopup() {
        FakeBrowser browser;
        const WindowKey page = browser.addBrowser("http://news.example/", "News");
        Panel p("1", false, &browser);
        MainWindow& w = *p.window;
        // Driven from a timer, since the chain and the cycle run nested in the test's own waits.
        WindowKey popup = 0;
        bool done = false;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (!w.session().controller().cycleRunning() || w.session().state().hidingToTray)
                return;
            if (!popup)
                popup = browser.addPopup("http://ads.example/win", "You won");
            else if (!browser.contains(popup) && !done)
                w.session().setHiding(done = true); // hiding once more ends the cycle
        });
        driver.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.session().controller().cycleRunning(), 60000);
        driver.stop();
        QVERIFY(browser.contains(page) && browser.quitWindows() == QList<WindowKey>{popup});
        QCOMPARE(p.c().msg1->text(), QStringLiteral("1 Popup terminated"));
        QCOMPARE(p.c().label28->text(), QStringLiteral("1 popup window eliminated"));
        QVERIFY(!p.button("go")->isEnabled() && p.button("stop")->isEnabled());
        w.session().log().CloseBlockedLog();
        QFile log(p.tp.platform.dataFolder + "/skipped_sites.txt");
        QVERIFY(log.open(QIODevice::ReadOnly) &&
                log.readAll().contains("http://ads.example/win<===>You won "));
    }

    // A browser status longer than its line is shown whole on more rows, over the logo; only
    // one too long for the panel is shortened. The whole text is always the tip.
    void picturesAndCommands() {
        Panel p("5");
        const QString refusal =
            "Refusing the browser at 127.0.0.1:9222: it belongs to another user";
        p.window->showBrowserStatus(refusal);
        QVERIFY(p.c().browserStatus->text() == refusal && p.c().Picture4->isHidden());
        p.window->showBrowserStatus("Guarding Chromium 156");
        QVERIFY(!p.c().Picture4->isHidden());
        const QString longText = "Cannot reach the browser at http://127.0.0.1:9222/json/version: "
                                 "connection refused; start it with --remote-debugging-port=9222";
        p.window->showBrowserStatus(longText + longText);
        QLabel* line = p.c().browserStatus;
        QVERIFY(line->toolTip() == longText + longText && line->text().endsWith(QChar(0x2026)) &&
                (longText + longText).startsWith(line->text().chopped(1)));
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
        // The options press "Keep visible", which puts up the icon; "Close" then hides the window.
        p.picture("Image7")->click();
        p.button("cmdOK")->click();
        QVERIFY(p.button("Command4")->text() == "Hide Options" && p.window->isHidden() &&
                p.tp.tray.adds == 1);
        // "Start" closes the options, hides the window and starts blocking again.
        p.picture("Image6")->click();
        QTRY_COMPARE_WITH_TIMEOUT(p.blockingStarts, 2, 30000);
        QCOMPARE(p.button("Command4")->text(), QStringLiteral("Options"));
    }

    // Every way out removes the icon, closes the log, stores the panel and hijack list and writes
    // or removes the start-with-login entry, then ends the process.
    void exitWays_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("startUp");
        for (const char* way : {"close", "Image3", "exit1", "Command2", "exit"})
            QTest::newRow(way) << way << (QString(way) != "exit"); // the box's button clears it
    }
    void exitWays() {
        QFETCH(QString, way);
        QFETCH(bool, startUp);
        Panel p("5");
        QStringList order;
        p.window->session().log().LogBlocked("x<===>y");
        p.picture("Image10")->click(); // "Keep visible" puts up the icon
        p.tp.tray.onChange = [&](const QString& what) { order << "tray " + what; };
        p.tp.processExit.onExit = [&] {
            order << (p.window->session().log().logFileOpen() ? "log open" : "log closed");
        };
        p.find<QCheckBox>("killallbrowsers")->setCheckState(Qt::Checked);
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
            p.picture(qPrintable(way))->click();
        else
            p.button(qPrintable(way))->click();
        QCOMPARE(order, (QStringList{"tray remove", "log closed"}));
        QCOMPARE(p.tp.processExit.exits, 1);
        QCOMPARE(p.tp.stored("killallbrowsers") + " " + p.tp.stored("spyware_urls") + " " +
                     p.tp.stored("StartUp"),
                 QString("1 x.example<->y.example ") + (startUp ? "1" : "0"));
        QCOMPARE(p.tp.autostart.hasEntry("Pagewarden 8.0"), startUp);
    }

    // What the load shows for a stored value ("control:text"), and what it stores when a
    // first-run marker is missing ("key=value", "entry" for start with login): only the step that
    // marker guards repeats.
    void theLoad_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        const QString done = "firsttime=done wasfirsttime=false ";
        const std::pair<QString, const char*> rows[] = {
            {done, "secsbeforemin:0 chkStartUp:0"},
            {done + "secondsbeforeminimize=", "secsbeforemin:10"},
            {done + "popupkillspeed=", "popupkillspeed:.2"},
            {done + "popupkillspeed=fast", "popupkillspeed:fast"},
            {done + "Killbrowsers=2 Beep=7 killallbrowsers=yes",
             "kill_browsers:2 chkbeep:0 killallbrowsers:0"},
            {"firsttime=done secondsbeforeminimize=3 StartUp=1",
             "secsbeforemin:3 wasfirsttime=false entry"},
            {"wasfirsttime=false StartUp=0", "chkStartUp:1 secondsbeforeminimize=7 entry"}};
        for (const auto& [stored, expected] : rows)
            QTest::newRow(qPrintable(stored)) << stored << QString(expected);
    }
    void theLoad() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        WindowFixture f;
        for (const QString& pair : stored.split(' ', Qt::SkipEmptyParts))
            f.tp.store(pair.section('=', 0, 0), pair.section('=', 1));
        f.load();
        QCOMPARE(f.tp.autostart.hasEntry("Pagewarden 8.0"), expected.endsWith("entry"));
        for (const QString& item : expected.split(' ')) {
            const QString name = item.section(QRegularExpression("[:=]"), 0, 0);
            const QString want = item.section(QRegularExpression("[:=]"), 1);
            if (item.contains('='))
                QCOMPARE(f.tp.stored(name), want);
            else if (auto* combo = f.find<QComboBox>(name))
                QCOMPARE(combo->currentText(), want);
            else if (item != "entry")
                QCOMPARE(OptionsPanel::boxValue(*f.find<QCheckBox>(name)), want);
        }
    }

    // Some boxes store at once, the rest only at exit; "kill all browsers" stores nothing but
    // forces a pass. "Reset" restores the defaults with five seconds and says so every time.
    void boxesResetAndFixedSizes() {
        WindowFixture f;
        f.load();
        auto* startUp = f.find<QCheckBox>("chkStartUp");
        startUp->click();
        QVERIFY(!f.tp.autostart.hasEntry("Pagewarden 8.0") && f.tp.stored("StartUp") == "0");
        startUp->click();
        QCOMPARE(f.tp.autostart.entries.value("Pagewarden 8.0"),
                 QStringLiteral("/opt/pagewarden/bin/pagewarden"));
        for (const char* box : {"chkbeep", "chkHideOnStart", "kill_browsers", "kill_popups"})
            f.find<QCheckBox>(box)->click();
        f.find<QComboBox>("secsbeforemin")->setEditText("9");
        QCOMPARE(f.tp.stored("StartUp") + f.tp.stored("Beep") + f.tp.stored("HideOnStart") +
                     f.tp.stored("Killbrowsers") + f.tp.stored("Killpopups") +
                     f.tp.stored("secondsbeforeminimize"),
                 QStringLiteral("111017"));
        QVERIFY(!f.window->session().state().forcePass);
        f.find<QCheckBox>("killallbrowsers")->click();
        QVERIFY(f.window->session().state().forcePass && f.tp.stored("killallbrowsers") == "0");

        startUp->click();
        f.find<QComboBox>("popupkillspeed")->setEditText("3.00");
        f.tp.store("firsttime", "0");
        for (int round = 1; round <= 2; ++round) {
            f.find<QPushButton>("Command8")->click();
            QCOMPARE(f.tp.messages.texts.size(), round);
            QCOMPARE(f.tp.messages.titles.last() + ": " + f.tp.messages.texts.last(),
                     "Pagewarden 8.0: Options have been reset to original default settings");
        }
        const OptionsPanel& o = f.window->options();
        QCOMPARE(o.secondsBeforeStartText() + o.popupKillSpeedText(), QStringLiteral("5.2"));
        QVERIFY(o.killPopups() && o.startUpChecked() && !o.killBrowsers() && !o.beepOnKill());
        QCOMPARE(f.tp.stored("secondsbeforeminimize") + f.tp.stored("Killbrowsers") +
                     f.tp.stored("Beep") + f.tp.stored("firsttime"),
                 QStringLiteral("500done"));
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
        // The window has the sizes the panel gives it, closed and with the options or the
        // Anti-Hijacker open, and nothing it shows lies outside them: the command buttons below
        // stay out of reach.
        f.window->show();
        QList<QSize> sizes;
        for (const char* step : {"", "Command4", "Command4", "Command14", "Command14"}) {
            if (*step)
                f.find<QPushButton>(step)->click();
            QWidget& w = *f.window;
            QVERIFY(w.minimumSize() == w.size() && w.maximumSize() == w.size());
            for (QWidget* child : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisibleTo(&w) && !child->isWindow() && child->objectName() != "Frame2")
                    QVERIFY2(w.rect().contains(child->geometry()), qPrintable(child->objectName()));
            sizes << w.size();
        }
        QVERIFY(sizes[1].width() > sizes[0].width() && sizes[2] == sizes[0] &&
                sizes[4] == sizes[0]);
        QVERIFY(sizes[3].height() > sizes[0].height());
    }
};

PAGEWARDEN_TEST_MAIN(TestMainWindow, QApplication)
#include "test_main_window.moc"
