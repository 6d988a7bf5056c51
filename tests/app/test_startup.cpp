#include "app/BlockingPresenter.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/WebPageOpener.h"
#include "settings/ProductInfo.h"
#include "settings/ui/OptionsPanel.h"
#include "splash/SplashScreen.h"
#include "support/TestMain.h"
#include "support/TestPlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

struct Event {
    QString what;
    double at; // program seconds
};

// Runs the whole start-up and records what happened when, in program time.
struct StartupRun {
    explicit StartupRun(TestPlatform& tp) : startup(tp.platform), clock(tp.clock) {
        startup.onStep = [this](const QString& what) {
            record(what);
            if (what == QLatin1String("main window shown") ||
                what == QLatin1String("main window loaded hidden"))
                watchWindow();
        };
    }
    void record(const QString& what) { events.append({what, clock.now()}); }
    void watchWindow() {
        MainWindow* w = startup.mainWindow();
        record(QStringLiteral("window visible=%1").arg(w->isVisible()));
        // Blocking would run nested until the next hide; here it is enough to see it start.
        QObject::disconnect(&w->presenter(), &BlockingPresenter::startRequested, nullptr, nullptr);
        QObject::connect(&w->presenter(), &BlockingPresenter::startRequested, w,
                         [this] { record(QStringLiteral("blocking started")); });
        if (logViewerOpen)
            w->session().setLogViewerOpen(true);
        for (const char* name : {"Timer8", "Timer1", "Timer2"}) {
            QObject::connect(w->controls().timer(name), &FormTimer::tick, w, [this, name] {
                record(QLatin1String(name) + QStringLiteral(" tick"));
            });
        }
        QObject::connect(w->findChild<QPushButton*>(QStringLiteral("Command1")),
                         &QPushButton::clicked, w,
                         [this] { record(QStringLiteral("Command1 pressed")); });
    }
    QStringList names() const {
        QStringList out;
        for (const auto& e : events)
            out.append(e.what);
        return out;
    }
    double at(const QString& what) const {
        for (const auto& e : events)
            if (e.what == what)
                return e.at;
        return -1;
    }
    Startup startup;
    const Clock& clock;
    bool logViewerOpen = false;
    QList<Event> events;
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // The timing test needs a slower clock to measure; the rest run fast.
        const bool timing = QByteArray(QTest::currentTestFunction()).startsWith("normalStart");
        tp = std::make_unique<TestPlatform>(timing ? 0.05 : 0.01);
        tp->wipeSettings();
    }
    void cleanup() { tp.reset(); }

    void normalStart_showsSplashWaitsThenWindowAndStartsTheChain() {
        StartupRun run(*tp);
        const double t0 = tp->clock.now();
        QVERIFY(run.startup.Main());
        const QStringList names = run.names();
        const QStringList expected = {"splash shown",     "busy pointer",      "first wait",
                                      "splash closed",    "main window shown", "window visible=1",
                                      "second wait",      "Timer8 tick",       "blocking started",
                                      "Command1 pressed", "Timer1 tick",       "start-up done"};
        QCOMPARE(names, expected);
        // The first pause is five seconds long, and so is the second.
        QVERIFY2(run.at("splash closed") - t0 >= 5.0,
                 qPrintable(QString::number(run.at("splash closed") - t0)));
        QVERIFY(run.at("start-up done") - run.at("second wait") >= 5.0);
        // Busy during start-up, the default pointer at its end.
        QCOMPARE(tp->busy.events.first(), QStringLiteral("busy"));
        QCOMPARE(tp->busy.events.last(), QStringLiteral("default"));
        QVERIFY(!tp->busy.busy);
        QVERIFY(!run.startup.splash());
        // The timers of the chain disabled themselves.
        QVERIFY(!run.startup.mainWindow()->controls().timer("Timer8")->isEnabled());
        QVERIFY(!run.startup.mainWindow()->controls().timer("Timer1")->isEnabled());
        QVERIFY(!run.startup.mainWindow()->controls().timer("Timer2")->isEnabled());
    }

    void hiddenStart_noSplashNoWindow_countdownAndUpdateCheckTimers() {
        tp->store("firsttime", "done");
        tp->store("HideOnStart", "1");
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        const QStringList names = run.names();
        QVERIFY(!names.contains("splash shown"));
        QVERIFY(names.contains("main window loaded hidden"));
        QVERIFY(names.contains("window visible=0"));
        QVERIFY(!run.startup.mainWindow()->isVisible());
        QVERIFY(!names.contains("Timer8 tick"));
        // The countdown begins from Timer1 at once; the update check waits on Timer2.
        QVERIFY(names.contains("Timer1 tick"));
        QVERIFY(names.indexOf("Command1 pressed") > names.indexOf("second wait"));
    }

    void hideOnStartTexts_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("splash");
        QTest::newRow("1") << "1" << false;
        QTest::newRow("0") << "0" << true;
        QTest::newRow("2") << "2" << true;
        QTest::newRow("not a number") << "yes" << true;
        QTest::newRow("spaces") << " 1 " << false;
        QTest::newRow("empty") << "" << true;
    }
    void hideOnStartTexts() {
        QFETCH(QString, stored);
        QFETCH(bool, splash);
        tp->store("firsttime", "done");
        tp->store("HideOnStart", stored);
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QCOMPARE(run.names().contains("splash shown"), splash);
    }

    void secondInstance_endsAtOnceWithNothingShown() {
        tp->lock.available = false;
        StartupRun run(*tp);
        const double t0 = tp->clock.now();
        QVERIFY(!run.startup.Main());
        QVERIFY(tp->clock.now() - t0 < 1.0);
        QCOMPARE(run.names(), QStringList{"another instance runs"});
        QVERIFY(!run.startup.mainWindow());
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(),
                             QApplication::topLevelWidgets().cend(),
                             [](QWidget* w) { return w->isVisible(); }));
        // Nothing was written either.
        QCOMPARE(tp->stored("saved_the_product_version"), QStringLiteral("<missing>"));
    }

    void versionBookkeeping_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("after");
        const QString own = ProductInfo::programVersion();
        QTest::newRow("none yet") << QString() << own;
        QTest::newRow("older") << "7.9.9" << own;
        QTest::newRow("equal") << own << own;
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
        QVERIFY(run.startup.mainWindow()->session().state().debugMode);
        QFile::remove(marker.fileName());
        QVERIFY(run.startup.mainWindow()->session().state().debugMode);
        QCOMPARE(marker.size(), 0);
    }

    void veryFirstStart_storesTheFirstRunValues() {
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QCOMPARE(tp->stored("firsttime"), QStringLiteral("done"));
        QCOMPARE(tp->stored("wasfirsttime"), QStringLiteral("false"));
        QCOMPARE(tp->stored("StartUp"), QStringLiteral("1"));
        QCOMPARE(tp->stored("Killpopups"), QStringLiteral("1"));
        for (const char* key : {"Killbrowsers", "killallbrowsers", "Beep", "HideOnStart"})
            QCOMPARE(tp->stored(QLatin1String(key)), QStringLiteral("0"));
        QCOMPARE(tp->stored("secondsbeforeminimize"), QStringLiteral("7"));
        QCOMPARE(tp->stored("popupkillspeed"), QStringLiteral(".2"));
        QCOMPARE(tp->stored("backgroundcolor"), QStringLiteral("Bluee"));
        QCOMPARE(tp->autostart.entries.value("Pagewarden 8.0"),
                 QStringLiteral("/opt/pagewarden/bin/pagewarden"));
        MainWindow* w = run.startup.mainWindow();
        QCOMPARE(w->options().secondsBeforeStartText(), QStringLiteral("7"));
        QCOMPARE(w->options().popupKillSpeedText(), QStringLiteral(".2"));
        QVERIFY(w->options().killPopups());
        QVERIFY(w->options().startUpChecked());
        QVERIFY(!w->options().killBrowsers() && !w->options().killAllBrowsers() &&
                !w->options().beepOnKill() && !w->options().hideOnStartChecked());
    }

    void laterStart_keepsWhatTheUserChose() {
        tp->store("firsttime", "done");
        tp->store("wasfirsttime", "false");
        tp->store("StartUp", "0");
        tp->store("Killpopups", "0");
        tp->store("Beep", "1");
        tp->store("secondsbeforeminimize", "3");
        tp->store("popupkillspeed", "1.50");
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        MainWindow* w = run.startup.mainWindow();
        QVERIFY(!w->options().startUpChecked());
        QVERIFY(!w->options().killPopups());
        QVERIFY(w->options().beepOnKill());
        QCOMPARE(w->options().secondsBeforeStartText(), QStringLiteral("3"));
        QCOMPARE(w->options().popupKillSpeedText(), QStringLiteral("1.50"));
        QVERIFY(tp->autostart.entries.isEmpty());
        QCOMPARE(tp->stored("StartUp"), QStringLiteral("0"));
    }

    void storedSchemeDoesNotChangeTheStartColours() {
        tp->store("backgroundcolor", "Red");
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QCOMPARE(tp->stored("backgroundcolor"), QStringLiteral("Bluee"));
        const QImage shot = run.startup.mainWindow()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() / 2)), QColor(186, 219, 226));
    }

    void logViewerOpen_holdsTheChainAtTimer8() {
        StartupRun run(*tp);
        run.logViewerOpen = true;
        QVERIFY(run.startup.Main());
        QVERIFY(run.names().contains("Timer8 tick"));
        QVERIFY(!run.names().contains("Timer1 tick"));
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
        bool browserStarted = false;
        tp->platform.startBrowser = [&] { browserStarted = true; };
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        QVERIFY(browserStarted);
        MainWindow* w = run.startup.mainWindow();
        QCOMPARE(w->controls().browserStatus->text(), QStringLiteral("Guarding Chromium"));
        w->findChild<QPushButton*>("Command7")->click();
        QCOMPARE(pages.opened, (QStringList{"https://www.pagewarden.example",
                                            "https://www.pagewarden.example/pagewarden.htm"}));
    }

    void secondInstance_neverStartsTheBrowser() {
        tp->lock.available = false;
        bool browserStarted = false;
        tp->platform.startBrowser = [&] { browserStarted = true; };
        StartupRun run(*tp);
        QVERIFY(!run.startup.Main());
        QVERIFY(!browserStarted);
    }

private:
    std::unique_ptr<TestPlatform> tp;
};

PAGEWARDEN_TEST_MAIN(TestStartup, QApplication)
#include "test_startup.moc"
