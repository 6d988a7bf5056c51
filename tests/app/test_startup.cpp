#include "app/BlockingPresenter.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "settings/ProductInfo.h"
#include "shell/ColourScheme.h"
#include "shell/ui/PictureButton.h"
#include "splash/SplashScreen.h"
#include "support/Recorders.h"
#include "support/TestMain.h"
#include "support/TestPlatform.h"
#include "update/UpdateCheck.h"
#include "update/ui/UpdateCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>

// Runs the whole start-up and records each step with its time on the program's clock, and, once
// the window is made, its timers' ticks and the start of blocking (counted instead of run nested).
struct StartupRun {
    explicit StartupRun(TestPlatform& tp) : startup(tp.platform), clock(tp.clock) {
        startup.onStep = [this](const QString& what) {
            record(what);
            if (!what.startsWith(QLatin1String("main window")))
                return;
            MainWindow& w = *startup.mainWindow();
            record(QStringLiteral("window visible=%1").arg(w.isVisible()));
            QObject::disconnect(&w.presenter(), &BlockingPresenter::startRequested, nullptr,
                                nullptr);
            QObject::connect(&w.presenter(), &BlockingPresenter::startRequested, &w,
                             [this] { record("blocking started"); });
            for (const char* name : {"Timer8", "Timer1"})
                QObject::connect(w.controls().timer(name), &FormTimer::tick, &w,
                                 [this, name] { record(name + QStringLiteral(" tick")); });
            QObject::connect(w.controls().command("Command1"), &QPushButton::clicked, &w,
                             [this] { record("Command1 pressed"); });
            QObject::connect(&w.findChild<UpdateCommands*>()->check(), &UpdateCheck::finished, &w,
                             [this] { record("update checked"); });
        };
    }
    void record(const QString& what) {
        names.append(what);
        at.insert(what, clock.now());
    }
    Startup startup;
    const Clock& clock;
    QStringList names;
    QHash<QString, double> at;
};

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<TestPlatform> tp;

private slots:
    void init() { tp = std::make_unique<TestPlatform>(0.02); }
    void cleanup() { tp.reset(); }

    // Splash, five seconds, the window in the blue scheme whatever was stored, five seconds in
    // which the chain starts (on a busy machine it may end after the start-up); the debug marker
    // is read once, Help opens the manual.
    void normalStart() {
        tp->store("backgroundcolor", "Red");
        QFile marker(TestPlatform::dataFolder() + "/debug.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly) && (marker.close(), true));
        RecordingPages pages;
        tp->platform.webPages = &pages;
        tp->platform.browserStatus = [] { return QStringLiteral("Guarding Chromium"); };
        StartupRun run(*tp);
        run.startup.notice = "Your options were reset";
        tp->messages.onShow = [&](const QString& text) { run.record(text); };
        const double t0 = tp->clock.now();
        QVERIFY(run.startup.Main());
        QFile::remove(marker.fileName());
        QTRY_VERIFY_WITH_TIMEOUT(run.names.contains("Timer1 tick"), 30000);
        QVERIFY(run.names.removeOne("start-up done"));
        QCOMPARE(run.names, (QStringList{"splash shown", "busy pointer", "first wait",
                                         "splash closed", "main window shown", "window visible=1",
                                         "Your options were reset", // told once the window is up
                                         "second wait", "Timer8 tick", "blocking started",
                                         "Command1 pressed", "Timer1 tick"}));
        QVERIFY(run.at["splash closed"] - t0 >= 5.0);
        QVERIFY(run.at["start-up done"] - run.at["second wait"] >= 5.0);
        QVERIFY(tp->busy.events.first() == "busy" && !tp->busy.busy && !run.startup.splash());
        MainWindow* w = run.startup.mainWindow();
        for (const char* name : {"Timer8", "Timer1", "Timer2"})
            QVERIFY(!w->controls().timer(name)->isEnabled());
        QVERIFY(w->session().state().debugMode);
        // Any name but a scheme's changes nothing, not even what is stored.
        QVERIFY(!w->scheme().ApplyColourScheme("gold"));
        QCOMPARE(tp->stored("backgroundcolor"), QStringLiteral("Bluee"));
        const auto blue = ColourScheme::find("Bluee");
        const QImage shot = w->grab().toImage();
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() / 2)),
                 QColor(blue->paintRed, blue->paintGreen, blue->paintBlue));
        // The form's style makes the controls bold; lists keep their own font.
        QVERIFY(w->findChild<QCheckBox*>("chkbeep")->font().bold() &&
                !w->findChild<QListWidget*>("lstSourcefields")->font().bold());
        QCOMPARE(w->controls().browserStatus->text(), QStringLiteral("Guarding Chromium"));
        // Help opens the manual that comes with the program, with no vendor's page before it;
        // the Anti-Hijacker's help shows all of its text, and its globe opens the manual's part.
        const QString manual = QUrl::fromLocalFile(Paths::manualFile()).toString();
        w->controls().picture("Image9")->click();
        w->findChild<QPushButton*>("Command14")->click();
        w->findChild<QPushButton*>("Command18")->click();
        auto* help = w->findChild<QLabel*>("helpText");
        const QRect shown = QRect(help->mapTo(w, QPoint()), help->size()) & w->rect();
        QVERIFY(shown.height() >= help->heightForWidth(help->width()) && shown.top() > 0);
        auto* globe = w->findChild<QWidget*>("Image16");
        QVERIFY(w->rect().contains(QRect(globe->mapTo(w, QPoint()), globe->size())));
        QTest::mouseClick(globe, Qt::LeftButton);
        QCOMPARE(pages.opened, (QStringList{manual, manual + "#antihijackerhelp"}));
        QCOMPARE(pages.startPages, (QStringList{"", ""}));
        QFile page(Paths::manualFile());
        QVERIFY(page.open(QFile::ReadOnly) && page.readAll().contains("id=\"antihijackerhelp\""));
        // With no update address, "Check for update" says where to set one (after the notice).
        w->controls().command("Command9")->click();
        QVERIFY(tp->messages.texts.size() == 2 &&
                tp->messages.texts.last().startsWith("No update address is set") &&
                tp->messages.texts.last().contains("vendor_site_url in section [Advanced]"));
    }

    // What start-up does with stored texts: "HideOnStart" is 1 (spaces aside) for a start
    // without splash or window, from Timer1, that asks for an update once, 10 s after the load
    // (nobody answers here, and a failed automatic check says nothing); the running version
    // replaces a saved one that sorts before it as text ("8.0.10" sorts before "8.0.9") or is
    // missing.
    void storedTexts_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("result");
        const QString own = ProductInfo::programVersion();
        for (const char* text : {"0", "2", "yes", "", "1", " 1 "})
            QTest::newRow(text) << "HideOnStart" << text
                                << (QString(text).trimmed() == "1" ? "hidden" : "shown");
        for (const auto& [saved, after] : {std::pair<QString, QString>{QString(), own},
                                           {"7.9.9", own},
                                           {"8.1.0", "8.1.0"},
                                           {"8.0.10", "8.0.10"},
                                           {"10.0.0", own}})
            QTest::newRow(qPrintable("version " + saved))
                << "saved_the_product_version" << saved << after;
    }
    void storedTexts() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, result);
        tp->store("firsttime", "done");
        if (!stored.isNull())
            tp->store(key, stored);
        tp->settings->save("Advanced", "vendor_site_url", "http://127.0.0.1:1");
        StartupRun run(*tp);
        QVERIFY(run.startup.Main());
        const QStringList& names = run.names;
        if (key == "HideOnStart") {
            const bool hidden = result == "hidden";
            QTRY_VERIFY_WITH_TIMEOUT(names.contains("Command1 pressed"), 30000);
            QVERIFY(names.contains("splash shown") != hidden &&
                    names.contains("Timer8 tick") != hidden);
            QCOMPARE(names.contains("window visible=0"), hidden);
            QVERIFY(names.indexOf("Command1 pressed") > names.indexOf("second wait"));
            if (hidden) {
                QTRY_VERIFY_WITH_TIMEOUT(names.contains("update checked"), 30000);
                QVERIFY(run.at["update checked"] - run.at["main window loaded hidden"] >= 9.5);
                QVERIFY(tp->messages.texts.isEmpty() && names.count("update checked") == 1);
            }
        } else {
            QCOMPARE(tp->stored(key), result);
        }
    }

    // A second start brings the first's panel to the front: during the first's start-up (a
    // hidden start then shows its window), or after the hide in the state the tray's "Open"
    // leaves. It ends without showing, starting or writing anything itself.
    void secondStart_bringsTheFirstToTheFront_data() {
        QTest::addColumn<bool>("early");
        QTest::newRow("after the hide") << false;
        QTest::newRow("during a hidden start") << true;
    }
    void secondStart_bringsTheFirstToTheFront() {
        QFETCH(bool, early);
        Platform second = tp->platform;
        LockFileInstanceLock secondLock(LockFileInstanceLock::defaultPath());
        second.instanceLock = &secondLock;
        second.startBrowser = [] { QFAIL("a second start started a browser"); };
        QStringList secondSteps;
        const auto startAgain = [&] {
            Startup again(second);
            again.onStep = [&](const QString& what) { secondSteps << what; };
            QVERIFY(!again.Main() && !again.mainWindow());
        };
        tp->store("firsttime", "done");
        tp->store("HideOnStart", early ? "1" : "0");
        StartupRun run(*tp);
        bool shownAtSecondWait = false;
        run.startup.onStep = [&, step = run.startup.onStep](const QString& what) {
            step(what);
            if (what == "first wait" && early) { // heard before the window exists
                startAgain();
                QTRY_VERIFY_WITH_TIMEOUT(run.names.contains("asked to show"), 30000);
            }
            if (what == "second wait")
                shownAtSecondWait = run.startup.mainWindow()->isVisible();
        };
        QVERIFY(run.startup.Main());
        MainWindow* w = run.startup.mainWindow();
        if (!early) {
            QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 30000);
            startAgain();
            QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 30000);
            QCOMPARE(w->controls().command("Command3")->text(), QStringLiteral("Hide"));
        }
        QVERIFY(run.names.contains("asked to show") && (shownAtSecondWait || !early));
        QCOMPARE(secondSteps, QStringList{"another instance runs, told to show"});
    }

    // The splash keeps its picture's size and comes back from minimised or maximised by itself.
    void keepsItsSizeAndState() {
        TestClock clock(0.05);
        SplashScreen splash(clock);
        splash.show();
        QVERIFY(!splash.image1()->pixmap().isNull());
        for (Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized}) {
            splash.setWindowState(state);
            QTRY_VERIFY_WITH_TIMEOUT(splash.windowState() == Qt::WindowNoState, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(splash.size(), splash.pictureSize(), 30000);
        }
    }
};

PAGEWARDEN_TEST_MAIN(TestStartup, QApplication)
#include "test_startup.moc"
