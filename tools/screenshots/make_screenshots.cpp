// Takes the documentation's pictures of the real windows on test doubles, in a home of its own.
// Run under a virtual display by scripts/screenshots.sh.
#include "allow/AllowedSites.h"
#include "allow/ui/AllowedSitesWindow.h"
#include "app/AllowedSitesCommands.h"
#include "app/FeatureWiring.h"
#include "app/TrayController.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingSession.h"
#include "blocking/ui/LogViewer.h"
#include "blocking/ui/LogViewerForm.h"
#include "platform/FormTimer.h"
#include "shell/DocumentOpener.h"
#include "shell/ui/PictureButton.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <cstdio>

static bool shoot(QWidget& widget, const QString& path) {
    widget.move(40, 40);
    QTest::qWait(300); // lets the display draw it
    const QRect area = widget.frameGeometry();
    QPixmap picture =
        widget.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const bool ok = (picture.isNull() ? widget.grab() : picture).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

int main(int argc, char** argv) {
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/" : QString("docs/");
    WindowFixture f(0.1);
    for (const char* pair : {"firsttime=done", "wasfirsttime=false", "StartUp=1", "Beep=1",
                             "Killpopups=1", "popupkillspeed=.2", "secondsbeforeminimize=7",
                             "spyware_urls=startpage-hijack.example<->coupon-bar.example/start",
                             "desired_home_url=https://www.debian.org/"})
        f.tp.store(QString(pair).section('=', 0, 0), QString(pair).section('=', 1));
    FakeBrowser pages; // what the anti-hijacker lists as open
    pages.addBrowser("https://www.debian.org/");
    pages.addBrowser("http://search-toolbar.example/results?q=news");
    f.tp.platform.browser = &pages;
    MainWindow& window = f.load();
    DocumentOpener documents(nullptr, f.tp.messages, window.windowTitle(), {});
    const auto viewer = connectLogViewer(window, documents);
    auto* allowed = new AllowedSitesCommands(window, *viewer);
    window.controls().timer("Timer8")->setEnabled(false); // the countdown is shown, not run
    window.controls().Label2->setText(TrayController::countdownText("7"));
    window.showBrowserStatus("Guarding Chromium 156 (started by Pagewarden)");
    window.show();
    bool ok = shoot(window, out + "main-window.png");
    window.controls().command("Command4")->click();
    ok = shoot(window, out + "main-window-options.png") && ok;
    window.controls().command("Command4")->click();
    // The options kept the window open: "Start" hides it to the tray; three popups closed, it is
    // opened again from the tray's menu.
    window.controls().command("Command3")->click();
    ok = QTest::qWaitFor([&f] { return f.blockingStarts > 0; }, 60000) && ok;
    window.presenter().windowsClosed(3);
    window.controls().rest1->trigger();
    ok = shoot(window, out + "main-window-open.png") && ok;
    window.controls().trayMenu->popup(QPoint(60, 60));
    ok = shoot(*window.controls().trayMenu, out + "tray-menu.png") && ok;
    window.controls().trayMenu->hide();

    // The log viewer, on a log written by the program's own log writer.
    BlockedLog& log = window.session().log();
    const Clock::DateAndTime now = f.tp.clock.dateAndTime();
    log.LogBlocked(LogRecords::daySeparator(now.date, now.time));
    log.LogBlocked("http://popunder.adnet.example/serve?zone=4411<===>Congratulations, you won!");
    log.LogBlocked("https://casino-offers.example/lp/spin?ref=news<===>Spin to win");
    QTimer poll; // the viewer runs modal: it is shot from inside once it shows
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (LogViewerForm* form = viewer->form(); form && form->isVisible()) {
            poll.stop();
            ok = shoot(*form, out + "log-viewer.png") && ok;
            form->close();
        }
    });
    poll.start(0);
    window.controls().picture("Image14")->click();
    window.controls().command("Command14")->click();
    ok = shoot(window, out + "anti-hijacker.png") && ok;

    // The allowed sites, with a site of the user's whose popups are allowed, and one being typed.
    AllowedSites sites = AllowedSites::load(window.store());
    sites.add({AllowedSite::Match::Opener, "video-calls.example"});
    sites.save(window.store());
    allowed->show();
    allowed->window()->hostBox->setText("shop.example");
    allowed->window()->list->setCurrentRow(allowed->window()->list->count() - 1);
    return shoot(*allowed->window(), out + "allowed-sites.png") && ok ? 0 : 1;
}
