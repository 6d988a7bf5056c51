#include "app/BlockingPresenter.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/WebPageOpener.h"
#include "settings/ProductInfo.h"
#include "settings/ui/OptionsPanel.h"
#include "shell/ui/PictureButton.h"
#include "splash/SplashScreen.h"
#include "support/Recorders.h"
#include "support/TestMain.h"
#include "support/TestPlatform.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

// Runs the whole start-up and records each step with its time on the program's clock.
struct StartupRun {
    explicit StartupRun(TestPlatform& tp) : startup(tp.platform), clock(tp.clock) {
        startup.onStep = [this](const QString& what) {
            record(what);
            if (what.startsWith(QLatin1String("main window")))
                watchWindow(*startup.mainWindow());
        };
    }
    void record(const QString& what) {
        names.append(what);
        at.insert(what, clock.now());
    }
    void watchWindow(MainWindow& w) {
        record(QStringLiteral("window visible=%1").arg(w.isVisible()));
        // Blocking would run nested until the next hide; here it is enough to see it start.
        QObject::disconnect(&w.presenter(), &BlockingPresenter::startRequested, nullptr, nullptr);
        QObject::connect(&w.presenter(), &BlockingPresenter::startRequested, &w,
                         [this] { record(QStringLiteral("blocking started")); });
        w.session().setLogViewerOpen(logViewerOpen);
        for (const char* name : {"Timer8", "Timer1"})
            QObject::connect(w.controls().timer(name), &FormTimer::tick, &w, [this, name] {
                record(QLatin1String(name) + QStringLiteral(" tick"));
            });
        QObject::connect(w.controls().command("Command1"), &QPushButton::clicked, &w,
                         [this] { record(QStringLiteral("Command1 pressed")); });
    }
    Startup startup;
    const Clock& clock;
    bool logViewerOpen = false;
    QStringList names;
    QHash<QString, double> at;
};

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<TestPlatform> tp;

private slots:
    void init() {
        tp = std::make_unique<TestPlatform>(0.02);
        tp->wipeSettings();
    }
    void cleanup() { tp.reset(); }

    void normalStart_showsSplashWaitsThenWindowAndStartsTheChain() {
        tp->store("backgroundcolor", "Red");
        StartupRun run(*tp);
        const double t0 = tp->clock.now();
        QVERIFY(run.startup.Main());
        QCOMPARE(run.names, (QStringList{"splash shown", "busy pointer", "first wait",
                                         "splash closed", "main window shown", "window visible=1",
                                         "second wait", "Timer8 tick", "blocking started",
                                         "Command1 pressed", "Timer1 tick", "start-up done"}));
        // Each of the two pauses is five seconds long.
        QVERIFY(run.at["splash closed"] - t0 >= 5.0);
        QVERIFY(run.at["start-up done"] - run.at["second wait"] >= 5.0);
        QCOMPARE(tp->busy.events.first(), QStringLiteral("busy"));
        QVERIFY(!tp->busy.busy);
        QVERIFY(!run.startup.splash());
        for (const char* name : {"Timer8", "Timer1", "Timer2"})
            QVERIFY(!run.startup.mainWindow()->controls().timer(name)->isEnabled());
        // The window starts in the blue scheme whatever scheme was stored.
        const QImage shot = run.startup.mainWindow()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() / 2)), QColor(186, 219, 226));
    }

    // "HideOnStart" is 1 (spaces aside) for a start without splash or window, from Timer1.
    void hideOnStartTexts_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("hidden");
        for (const char* text : {"0", "2", "yes", ""})
            QTest::newRow(text) << text << false;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("spaces") << " 1 " << true;
    }
    void hideOnStartTexts() {
        QFETCH(QString, stored);
        QFETCH(bool, hidden);
        tp->store("firsttime", "done");
        tp->store("HideOnStart", stored);
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        const QStringList& names = run.names;
        QCOMPARE(names.contains("splash shown"), !hidden);
        QCOMPARE(names.contains("window visible=0"), hidden);
        QCOMPARE(names.contains("Timer8 tick"), !hidden);
        QVERIFY(names.indexOf("Command1 pressed") > names.indexOf("second wait"));
    }

    void secondInstance_endsWithNothingShownStartedOrWritten() {
        tp->lock.available = false;
        bool browserStarted = false;
        tp->platform.startBrowser = [&] { browserStarted = true; };
        StartupRun run(*tp);
        QVERIFY(!run.startup.Main());
        QCOMPARE(run.names, QStringList{"another instance runs"});
        QVERIFY(!run.startup.mainWindow() && !browserStarted);
        const auto widgets = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(widgets.cbegin(), widgets.cend(),
                             [](QWidget* w) { return w->isVisible(); }));
        QCOMPARE(tp->stored("saved_the_product_version"), QStringLiteral("<missing>"));
    }

    void versionBookkeeping_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("after");
        const QString own = ProductInfo::programVersion();
        QTest::newRow("none yet") << QString() << own;
        QTest::newRow("older") << "7.9.9" << own;
        QTest::newRow("announced newer") << "8.1.0"
                                         << "8.1.0";
        // Texts compare character by character: "8.0.10" sorts before "8.0.9".
        QTest::newRow("text order keeps") << "8.0.10"
                                          << "8.0.10";
        QTest::newRow("text order replaces") << "10.0.0" << own;
    }
    void versionBookkeeping() {
        QFETCH(QString, saved);
        QFETCH(QString, after);
        if (!saved.isEmpty())
            tp->store("saved_the_product_version", saved);
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QCOMPARE(tp->stored("saved_the_product_version"), after);
    }

    void debugMarker_turnsOnDebugModeForTheRun() {
        QFile marker(TestPlatform::dataFolder() + "/debug.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QFile::remove(marker.fileName());
        QVERIFY(run.startup.mainWindow()->session().state().debugMode);
    }

    void veryFirstStart_storesTheFirstRunValues() {
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        const QStringList expected = {"firsttime=done",
                                      "wasfirsttime=false",
                                      "StartUp=1",
                                      "Killpopups=1",
                                      "Killbrowsers=0",
                                      "killallbrowsers=0",
                                      "Beep=0",
                                      "HideOnStart=0",
                                      "secondsbeforeminimize=7",
                                      "popupkillspeed=.2",
                                      "backgroundcolor=Bluee"};
        for (const QString& pair : expected)
            QCOMPARE(pair.section('=', 0, 0) + "=" + tp->stored(pair.section('=', 0, 0)), pair);
        QCOMPARE(tp->autostart.entries.value("Pagewarden 8.0"),
                 QStringLiteral("/opt/pagewarden/bin/pagewarden"));
        QCOMPARE(run.startup.mainWindow()->options().secondsBeforeStartText(), QStringLiteral("7"));
    }

    void logViewerOpen_holdsTheChainAtTimer8() {
        StartupRun run(*tp);
        run.logViewerOpen = true;
        QVERIFY(run.startup.Main());
        QVERIFY(run.names.contains("Timer8 tick"));
        QVERIFY(!run.names.contains("Timer1 tick"));
        QVERIFY(!run.startup.mainWindow()->controls().timer("Timer1")->isEnabled());
    }

    void helpOpensTheProductPage_andTheStatusLineShows() {
        struct Pages : WebPageOpener {
            void openPage(const QString& start, const QString& address, Done done) override {
                opened << start << address;
                done(true, QString());
            }
            QStringList opened;
        } pages;
        tp->platform.webPages = &pages;
        tp->platform.browserStatus = [] { return QStringLiteral("Guarding Chromium"); };
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        MainWindow* w = run.startup.mainWindow();
        QCOMPARE(w->controls().browserStatus->text(), QStringLiteral("Guarding Chromium"));
        w->controls().picture("Image9")->click();
        QCOMPARE(pages.opened, (QStringList{"https://www.pagewarden.example",
                                            "https://www.pagewarden.example/pagewarden.htm"}));
    }

    // The splash keeps its picture's size and comes back from minimised or maximised by itself;
    // where it was dragged it stays.
    void keepsItsSizeAndState() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        QVERIFY(!splash.pictureSize().isEmpty() && !splash.image1()->pixmap().isNull());
        QCOMPARE(splash.size(), splash.pictureSize());
        const QRect screen = splash.screen()->geometry();
        QVERIFY(qAbs(splash.frameGeometry().center().x() - screen.center().x()) <= 1);
        splash.resize(100, 50);
        QCOMPARE(splash.size(), splash.pictureSize());
        for (Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized}) {
            splash.setWindowState(state);
            QTRY_VERIFY_WITH_TIMEOUT(splash.windowState() == Qt::WindowNoState, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(splash.size(), splash.pictureSize(), 30000);
        }
        splash.move(5, 7);
        QSignalSpy ticks(splash.findChild<FormTimer*>("Timer2"), &FormTimer::tick);
        QVERIFY(ticks.wait(30000) && ticks.wait(30000)); // the timers that restore it ran
        QCOMPARE(splash.pos(), QPoint(5, 7));
    }
};

PAGEWARDEN_TEST_MAIN(TestStartup, QApplication)
#include "test_startup.moc"
