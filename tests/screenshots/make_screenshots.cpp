// Takes the pictures of the control panel for the documentation. Run under a virtual display by
// scripts/screenshots.sh; it draws the real windows on test doubles in a home of its own.

#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "blocking/BlockedLog.h"
#include "blocking/ui/LogViewer.h"
#include "blocking/ui/LogViewerForm.h"
#include "shell/DocumentOpener.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

namespace {

void settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

// The part of the screen a window covers, as the display shows it.
bool shoot(QWidget& widget, const QString& path) {
    settle();
    QScreen* screen = widget.screen();
    const QRect area = widget.frameGeometry();
    QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (picture.isNull())
        picture = widget.grab();
    const bool ok = picture.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "could not write", qPrintable(path),
                picture.width(), picture.height());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);

    WindowFixture f(1.0);
    f.tp.store(QStringLiteral("firsttime"), QStringLiteral("done"));
    f.tp.store(QStringLiteral("wasfirsttime"), QStringLiteral("false"));
    f.tp.store(QStringLiteral("StartUp"), QStringLiteral("1"));
    f.tp.store(QStringLiteral("Killpopups"), QStringLiteral("1"));
    f.tp.store(QStringLiteral("Beep"), QStringLiteral("1"));
    f.tp.store(QStringLiteral("secondsbeforeminimize"), QStringLiteral("7"));
    f.tp.store(QStringLiteral("popupkillspeed"), QStringLiteral(".2"));
    // The pages Box 1 of the anti-hijacker lists, and a hijack list.
    FakeBrowser pages;
    for (const char* url :
         {"https://www.debian.org/", "http://search-toolbar.example/results?q=news",
          "https://en.wikipedia.org/wiki/Browser_hijacking"})
        pages.addBrowser(QString::fromLatin1(url));
    f.tp.platform.browser = &pages;
    f.tp.store(QStringLiteral("spyware_urls"),
               QStringLiteral("startpage-hijack.example<->coupon-bar.example/start"));
    f.tp.store(QStringLiteral("desired_home_url"), QStringLiteral("https://www.debian.org/"));
    MainWindow& window = f.load();
    // The countdown's first words, as a user sees them right after the start.
    window.findChild<QLabel*>(QStringLiteral("Label2"))
        ->setText(QStringLiteral("Program will start after a 7 second delay. To keep visible, "
                                 "press 'Keep visible' "));
    window.showBrowserStatus(QStringLiteral("Guarding Chromium 156 (started by Pagewarden)"));
    window.show();
    window.move(40, 40);
    bool ok = shoot(window, out + QStringLiteral("/main-window.png"));

    window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    window.move(40, 40);
    ok = shoot(window, out + QStringLiteral("/main-window-options.png")) && ok;

    window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QMenu* menu = window.trayMenu();
    window.msg1->setText(QStringLiteral("3 Popups terminated"));
    menu->popup(QPoint(60, 60));
    ok = shoot(*menu, out + QStringLiteral("/tray-menu.png")) && ok;
    menu->hide();

    // The log viewer, on a log written by the program's own log writer.
    BlockedLog& log = window.blockedLog();
    const Clock& clock = *f.tp.platform.clock;
    log.LogBlocked(LogRecords::daySeparator(clock.shortDate(), clock.longTime()));
    for (const char* record :
         {"http://popunder.adnet.example/serve?zone=4411<===>Congratulations, you have won!",
          "http://ads.trackmedia.example/pop/728x90<===>",
          "http://toolbar-search.example/home<===>Search , redirected to https://www.debian.org/",
          "https://casino-offers.example/lp/spin?ref=news<===>Spin to win",
          "http://ads.trackmedia.example/pop/300x250<===>"})
        log.LogBlocked(QString::fromUtf8(record));
    DocumentOpener documents(nullptr, f.tp.messages, window.windowTitle(), {});
    const auto viewer = connectLogViewer(window, documents);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (LogViewerForm* form = viewer->form(); form && form->isVisible()) {
            poll.stop();
            form->move(40, 40);
            ok = shoot(*form, out + QStringLiteral("/log-viewer.png")) && ok;
            form->close();
        }
    });
    poll.start(0);
    window.findChild<PictureButton*>(QStringLiteral("Image14"))->click();

    window.findChild<QPushButton*>(QStringLiteral("Command14"))->click();
    window.move(40, 40);
    ok = shoot(window, out + QStringLiteral("/anti-hijacker.png")) && ok;
    return ok ? 0 : 1;
}
