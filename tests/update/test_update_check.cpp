#include "app/AboutBox.h"
#include "app/FeatureWiring.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/WebPageOpener.h"
#include "shell/DocumentOpener.h"
#include "shell/ui/DesktopOpeners.h"
#include "support/FakeBrowser.h"
#include "support/LocalHttpServer.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"
#include "update/UpdateCheck.h"
#include "update/UpdateManifest.h"
#include "update/ui/NewVersionInfo.h"
#include "update/ui/UpdateCommands.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QByteArray entry(const QByteArray& version, const QByteArray& module = "dl.example/pw.deb") {
    return "Pagewarden 8.0. current version=" + version + " update size=3 update module=" + module +
           "\r\n";
}

QString noNews(const QString& own) {
    return "Your installed version of Pagewarden 8.0 (version " + own +
           ") is the same as the update that is available, or no new updates are available.";
}

// How the bulletin begins: the version, and whether this is its one announcement.
QString bulletin(const QString& version, bool oneTime) {
    return "A newer version of Pagewarden 8.0 is available (version " + version + "). " +
           (oneTime ? "This is a one time notification of its availability." : "") +
           " If you would like to update it now (3 meg download), press 'Yes'.";
}

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

    // The program's own wiring on a loaded window, running as version 8.0.9.
    struct Rig {
        // With `browser`, blocking runs on it for real.
        explicit Rig(const QString& site, WebPageOpener* downloads = nullptr,
                     BrowserWindows* browser = nullptr) {
            f.tp.platform.browser = browser;
            f.realBlocking = browser;
            f.load();
            setSaved("8.0.9");
            commands =
                connectUpdateCommands(*f.window, {site, "8.0.9", 8, [this] { return &documents; },
                                                  downloads ? downloads : &pages});
        }
        void setSaved(const QString& version) {
            f.store->savedProductVersion = version;
            f.store->save_state();
        }
        // `via`: "Command9", "Timer2" or "about" (the about box's version line).
        // Every bulletin that comes up is answered with `answer` once `ready` (if given) says
        // so, and its text kept.
        bool run(const QString& via, const QString& answer = "No",
                 const std::function<bool()>& ready = {}) {
            QTimer answerer;
            QObject::connect(&answerer, &QTimer::timeout, [&] {
                auto* b = qobject_cast<NewVersionInfo*>(QApplication::activeModalWidget());
                if (b && (!ready || ready())) {
                    bulletins << b->Label1->text();
                    (answer == "Yes" ? b->Command1 : b->Command2)->click();
                }
            });
            answerer.start(5);
            QSignalSpy over(&commands->check(), &UpdateCheck::finished);
            if (via == "Timer2") {
                f.window->controls().timer("Timer2")->setEnabled(true);
            } else if (via == "about") {
                f.find<QPushButton>("Command13")->click();
                QTest::mouseClick(f.window->findChild<AboutBox*>()->lblVersionUpdate,
                                  Qt::LeftButton);
            } else {
                f.find<QPushButton>("Command9")->click();
            }
            return !over.isEmpty() || over.wait(20000);
        }
        WindowFixture f;
        RecordingPages pages;
        DocumentOpener documents{&pages, f.tp.messages, "Pagewarden 8.0", nullptr};
        UpdateCommands* commands = nullptr;
        QStringList bulletins;
    };

private slots:
    void checks_data() {
        QTest::addColumn<QByteArray>("manifest"); // "-" : nothing listens
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("via");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("bulletin");
        QTest::addColumn<QString>("savedAfter");
        QTest::addColumn<QString>("opened");
        const auto row = [](const char* name, QByteArray manifest, const char* via,
                            const char* answer, QString message, QString bulletin,
                            const char* saved = "8.0.9", const char* savedAfter = "8.0.9",
                            const char* opened = "") {
            QTest::newRow(name) << manifest << QString(saved) << QString(via) << QString(answer)
                                << message << bulletin << QString(savedAfter) << QString(opened);
        };
        const QString none, news = noNews("8.0.9"), offer = bulletin("8.1.0", false);
        const QByteArray other = "Otherproduct 2.0. current version=2.5\r\n";
        row("8.0.10 is not newer than 8.0.9 (about box)", entry("8.0.10"), "about", "No", news,
            none);
        row("automatic, first time", other + entry("8.1.0"), "Timer2", "No", none,
            bulletin("8.1.0", true), "8.0.9", "8.1.0");
        row("automatic, announced before", entry("8.1.0"), "Timer2", "No", none, none, "8.1.0",
            "8.1.0");
        row("manual offers it again, yes opens the download",
            entry("8.1.0", "https://dl.example/pw.deb"), "Command9", "Yes", none, offer, "8.1.0",
            "8.1.0", "https://dl.example/pw.deb");
        row("missing scheme gets http", entry("8.1.0"), "Command9", "Yes", none, offer, "8.0.9",
            "8.1.0", "http://dl.example/pw.deb");
        row("hostile scheme is refused, and the program runs on",
            entry("8.1.0", "file://dl.example/etc/passwd#http://x"), "Command9", "Yes",
            "The download address \"file://dl.example/etc/passwd#http://x\" is refused: it is not "
            "a web address (http:// or https://). Pagewarden 8.0 keeps running as it is.",
            offer, "8.0.9", "8.1.0");
        row("no update address, manual", "none", "Command9", "No",
            "No update address is set, so Pagewarden 8.0 cannot check for a newer version. To "
            "check, set vendor_site_url in section [Advanced] of the settings file " +
                QDir::homePath() +
                "/.config/pagewarden/Pagewarden 8.0.conf to the address of the "
                "site that offers the updates (the site that holds distpart/allver.txt).",
            none);
        row("no update address, automatic", "none", "Timer2", "No", none, none);
        row("new major release, manual", entry("9.0.0"), "Command9", "No", none, none);
        row("product in another letter case", "PAGEWARDEN 8.0. current version=8.1.0\r\n",
            "Command9", "No", none, none);
        row("entry without CR LF", "Pagewarden 8.0. current version=8.1.0", "Command9", "No", none,
            none);
        row("no network, automatic", "-", "Timer2", "No", none, none);
        row("no network, manual", "-", "Command9", "No", news, none);
        row("redirect to http is followed", "redirect:SERVER/real.txt", "Command9", "No", none,
            offer, "8.0.9", "8.1.0");
        row("redirect to another scheme is not", "redirect:ftp://127.0.0.1/real.txt", "Command9",
            "No", news, none);
        row("only the first 64 KiB are read", QByteArray(70000, 'x') + entry("8.1.0"), "Command9",
            "No", news, none);
    }
    void checks() {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, saved);
        QFETCH(QString, via);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QFETCH(QString, bulletin);
        QFETCH(QString, opened);

        LocalHttpServer server;
        QVERIFY(server.start());
        server.setPage("/distpart/allver.txt", manifest, "text/plain");
        if (manifest.startsWith("redirect:")) {
            server.setRedirect("/distpart/allver.txt",
                               manifest.mid(9).replace("SERVER", server.url("").toLatin1()));
            server.setPage("/real.txt", entry("8.1.0"), "text/plain");
        }
        // Port 1 on loopback: nobody answers there.
        Rig rig(manifest == "-"      ? QStringLiteral("http://127.0.0.1:1")
                : manifest == "none" ? QString()
                                     : server.url(""));
        rig.setSaved(saved);
        QVERIFY(rig.run(via, answer));

        QCOMPARE(rig.f.tp.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(rig.f.tp.messages.titles.first(), QStringLiteral("Pagewarden 8.0"));
        QCOMPARE(rig.bulletins.size(), bulletin.isEmpty() ? 0 : 1);
        QVERIFY(bulletin.isEmpty() || rig.bulletins.first().startsWith(bulletin));
        QTEST(rig.f.tp.stored("saved_the_product_version"), "savedAfter");
        QCOMPARE(rig.f.tp.processExit.exits, opened.isEmpty() ? 0 : 1);
        QCOMPARE(rig.pages.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
        QVERIFY(!rig.f.window->controls().timer("Timer2")->isEnabled());
    }

    // "Yes" through the user's own browser: a stand-in for xdg-open notes the address (as a file
    // named after it), holds until released and ends with `status`; the program ends only once the
    // opener is done, or says it failed and runs on.
    void downloadThroughDesktop_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("opened") << 0;
        QTest::newRow("opener fails") << 3;
    }
    void downloadThroughDesktop() {
        QFETCH(int, status);
        QTemporaryDir bin;
        const QString path = qEnvironmentVariable("PATH");
        QFile opener(bin.filePath("xdg-open"));
        const QString script =
            "#!/bin/sh\ntouch '%1'/\"$(printf %s \"$1\" | tr / _)\"\n"
            "while [ -d '%1' ] && [ ! -e '%1/go' ]; do sleep 0.05; done\nexit %2\n";
        QVERIFY(opener.open(QIODevice::WriteOnly) &&
                opener.write(script.arg(bin.path()).arg(status).toUtf8()) > 0 &&
                opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        opener.close();
        qputenv("PATH", (bin.path() + ":" + path).toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("PATH", path.toUtf8()); });
        LocalHttpServer server;
        QVERIFY(server.start());
        server.setPage("/distpart/allver.txt", entry("8.1.0", "https://dl.example/pw.deb"),
                       "text/plain");
        DesktopPageOpener desktop;
        Rig rig(server.url(""), &desktop);
        QVERIFY(rig.run("Command9", "Yes"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(bin.filePath("https:__dl.example_pw.deb")), 20000);
        QCOMPARE(rig.f.tp.processExit.exits, 0); // not while the opener is at work
        QVERIFY(QFile(bin.filePath("go")).open(QIODevice::WriteOnly));
        const QString failed = "The desktop could not open https://dl.example/pw.deb in a web "
                               "browser. Pagewarden 8.0 keeps running as it is.";
        QTRY_COMPARE_WITH_TIMEOUT(rig.f.tp.messages.texts.value(0), status ? failed : "", 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.f.tp.processExit.exits, status ? 0 : 1, 20000);
    }

    // Popups are closed while the bulletin of the automatic check waits for its answer.
    void blockingGoesOnWhileTheBulletinWaits() {
        LocalHttpServer server;
        QVERIFY(server.start());
        server.setPage("/distpart/allver.txt", entry("8.1.0"), "text/plain");
        FakeBrowser browser;
        Rig rig(server.url(""), nullptr, &browser);
        BlockingSession& session = rig.f.window->session();
        QTimer::singleShot(0, [&] { session.start(); }); // the bulletin comes up above the cycle
        WindowKey popup = 0;
        QElapsedTimer shown;
        QTimer ender; // the cycle ends once the bulletin is answered (the panel's hide may lag)
        connect(&ender, &QTimer::timeout, [&] {
            if (!rig.bulletins.isEmpty())
                session.setHiding(true);
        });
        ender.start(5);
        QVERIFY(rig.run("Timer2", "No", [&] {
            if (!popup && (shown.start(), true))
                popup = browser.addPopup("http://ads.example/");
            return !browser.contains(popup) || shown.hasExpired(10000);
        }));
        QCOMPARE(browser.quitWindows(), QList<WindowKey>{popup});
    }

    // A fetch that gets no answer ends at its timeout; a second request while one waits is
    // ignored.
    void silentServer() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Rig rig(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
        UpdateCheck& check = rig.commands->check();
        QSignalSpy over(&check, &UpdateCheck::finished);
        QVERIFY(check.check_for_update(true) && !check.check_for_update(true));
        QVERIFY(silent.waitForNewConnection(10000) && over.wait(20000));
        QCOMPARE(rig.f.tp.messages.texts, QStringList{noNews("8.0.9")});
    }
};

PAGEWARDEN_TEST_MAIN(TestUpdateCheck, QApplication)
#include "test_update_check.moc"
