#include "platform/FormTimer.h"
#include "support/LogViewerRig.h"
#include "support/TestMain.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>

class TestLogViewer : public QObject {
    Q_OBJECT

private slots:
    // The first 1001 lines are listed whatever the file holds, and the counts line tells.
    void listing_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("entry");
        QByteArray lines;
        for (int i = 1; i <= 1500; ++i)
            lines += "http://ads.example/" + QByteArray::number(i) + "<===>Ad\r\n";
        QTest::newRow("1500 lines") << lines << 1001 << 1000 << "http://ads.example/1001<===>Ad";
        const QByteArray odd = "bad \xff\xfe bytes\r\nbell\x07 esc\x1b tab\t\r\n" +
                               QByteArray(1'000'000, 'y') + "\r\nhttp://last.example/<===>";
        QTest::newRow("invalid UTF-8") << odd << 4 << 0 << "bad \uFFFD\uFFFD bytes";
        QTest::newRow("control characters") << odd << 4 << 1 << "bell\u2407 esc\u241B tab\u2409";
        QTest::newRow("no line end at the end") << odd << 4 << 3 << "http://last.example/<===>";
        QTest::newRow("empty file") << QByteArray() << 0 << -1 << "";
        // One endless line is read only as far as the viewer can use it.
        QTest::newRow("one endless line") << "http://a/" + QByteArray(20'000'000, 'z') + "\nx\n"
                                          << 1 << 0 << "http://a/" + QString(1991, 'z') + "\u2026";
    }
    void listing() {
        QFETCH(QByteArray, log);
        QFETCH(int, row);
        LogViewerRig v;
        v.writeLog(log);
        v.f.window->session().context().state.adsLoggedThisSession = 7;
        QStringList seen;
        v.open(QStringLiteral("Image14"), [&](LogViewerForm& form) {
            seen << QString::number(form.List1->count())
                 << (row >= 0 ? form.List1->item(row)->text() : QString()) << form.Label2->text()
                 << form.windowTitle()
                 << QString::number(v.f.window->session().state().logViewerOpen);
        });
        QFETCH(int, listed);
        QFETCH(QString, entry);
        QCOMPARE(seen,
                 (QStringList{
                     QString::number(listed), entry,
                     QStringLiteral("7 popup ads this session, %1 total ads logged.").arg(listed),
                     "Popup ads and hijack web sites are listed below.  Double click on "
                     "a url to display it.",
                     "1"}));
        QVERIFY(!v.f.window->session().state().logViewerOpen);
    }

    // What a double click on a logged line opens: an address, nothing, or a message.
    void doubleClick_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, QString line, QString opened, QString message = {}) {
            QTest::newRow(name) << line << opened << message;
        };
        row("separator", "------------ 12/6/2026 5:40:22 PM ----------", "");
        row("closed window", "http://ads.example/p?a=1<===>Ad 12/6/2026 5:40:22 PM",
            "http://ads.example/p?a=1");
        row("redirected window", "http://bad.example/<===>B , redirected to http://home.example/",
            "http://bad.example/");
        row("no scheme", "www.ads.example/x<===>", "http://www.ads.example/x");
        const QString longAddress = "http://long.example/" + QString(5000, QLatin1Char('a'));
        row("longer than the list shows", longAddress + "<===>", longAddress);
        row("not a web page", "about:blank<===> 12/6/2026 5:40:22 PM", "",
            "\"about:blank\" is not a web address, so it is not opened. Only addresses that start "
            "with http:// or https:// are opened in the browser.");
    }
    void doubleClick() {
        QFETCH(QString, line);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        LogViewerRig v;
        v.writeLog(line.toUtf8() + "\r\n");
        v.open(QStringLiteral("Image14"), [](LogViewerForm& form) {
            form.List1->setCurrentRow(0);
            emit form.List1->itemDoubleClicked(form.List1->currentItem());
        });
        QCOMPARE(v.pages.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(v.f.tp.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
    }

    // Opened while Timer8 waits, the viewer holds the start-up countdown until it closes.
    void startChainWaitsForTheViewer() {
        LogViewerRig v;
        v.writeLog("x\r\n");
        FormTimer* timer1 = v.f.window->controls().timer("Timer1");
        FormTimer* timer8 = v.f.window->controls().timer("Timer8");
        QVERIFY(timer8->isEnabled());
        bool ticked = false, countdownHeld = false;
        // Made before the viewer opens: the tick may come before the form is seen to show.
        QSignalSpy ticks(timer8, &FormTimer::tick);
        v.open(QStringLiteral("Image5"), [&](LogViewerForm&) {
            ticked = !ticks.isEmpty() || ticks.wait(20000);
            countdownHeld = !timer1->isEnabled() && !timer8->isEnabled();
        });
        QVERIFY(ticked && countdownHeld && timer8->isEnabled());
        QVERIFY(QSignalSpy(timer1, &FormTimer::tick).wait(20000));
    }

    // Browse and empty the list; the last test, as it leaves a folder where the log should be.
    void browseAndEmptyTheList() {
        LogViewerRig v;
        v.writeLog("http://ads.example/<===>\r\n");
        int left = -1;
        v.open(QStringLiteral("msg1"), [&](LogViewerForm& form) {
            form.Command2->click();
            form.Command3->click();
            form.Command3->click();
            left = form.List1->count();
        });
        QCOMPARE(left, 0);
        QVERIFY(!QFile::exists(v.logPath()));
        // With no log the viewer does not appear, and blocking goes on.
        v.open(QStringLiteral("Image14"));
        QVERIFY(!v.viewer->form() && !v.f.window->session().state().logViewerOpen);
        QCOMPARE(v.files, QStringList{v.logPath()});
        QCOMPARE(v.f.tp.messages.texts, (QStringList{"Popup ads urls and hijack web sites deleted",
                                                     "Popup ads and hijack web sites list already "
                                                     "empty",
                                                     "No popup ads or hijack web sites to view"}));
        // A log that cannot be written is told in the status line.
        QVERIFY(QDir().mkpath(v.logPath())); // a folder where the file should be
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the blocked-ads log"));
        v.f.window->session().log().LogBlocked(QStringLiteral("http://ads.example/<===>"));
        QVERIFY(v.f.window->controls().browserStatus->text().startsWith(
            QStringLiteral("The log of blocked windows cannot be written")));
    }
};

PAGEWARDEN_TEST_MAIN(TestLogViewer, QApplication)
#include "test_log_viewer.moc"
