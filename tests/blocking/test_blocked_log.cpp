#include "blocking/BlockedLog.h"
#include "blocking/ProgramState.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTimer>

class TestBlockedLog : public QObject {
    Q_OBJECT

private slots:
    void recordIsWrittenAsOneLine_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("counted");
        const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");
        QTest::newRow("closed window") << "http://ads.example/pop<===>Win a prize"
                                       << "http://ads.example/pop<===>Win a prize" + stamp << 1;
        QTest::newRow("empty title") << "http://ads.example/pop<===>"
                                     << "http://ads.example/pop<===>" + stamp << 1;
        QTest::newRow("redirected window")
            << "http://bad.example/<===>Bad , redirected to http://home.example/"
            << "http://bad.example/<===>Bad , redirected to http://home.example/" + stamp << 1;
        QTest::newRow("day separator") << "------------ 12/4/2026 10:17:46 PM ----------"
                                       << "------------ 12/4/2026 10:17:46 PM ----------" << 0;
        QTest::newRow("today's date inside the address")
            << "http://news.example/12/4/2026/a<===>News"
            << "http://news.example/12/4/2026/a<===>News" << 0;
        QTest::newRow("another day's date") << "http://news.example/12/3/2026<===>Old"
                                            << "http://news.example/12/3/2026<===>Old" + stamp << 1;
        QTest::newRow("non-ascii") << "http://xn--grn.example/<===>Grüße – 日本語"
                                   << "http://xn--grn.example/<===>Grüße – 日本語" + stamp << 1;
    }
    void recordIsWrittenAsOneLine() {
        QFETCH(QString, record);
        QFETCH(QString, line);
        QFETCH(int, counted);
        BlockingHarness h;
        h.state.adsLoggedThisSession = 5;
        h.log.LogBlocked(record);
        QCOMPARE(h.logBytes(), line.toUtf8() + "\r\n");
        QCOMPARE(h.state.adsLoggedThisSession, 5 + counted);
    }

    void dateAndTimeComeFromTheClock() {
        BlockingHarness h;
        h.clock.date = QStringLiteral("06.12.26");
        h.clock.time = QStringLiteral("23:59:59 MEZ");
        h.log.LogBlocked(QStringLiteral("u<===>t"));
        QCOMPARE(h.logLines(), QStringList{QStringLiteral("u<===>t 06.12.26 23:59:59 MEZ")});
    }

    void emptyRecord_writesNothingAndCreatesNoFile() {
        BlockingHarness h;
        h.log.LogBlocked(QString());
        QVERIFY(!QFile::exists(h.logPath()));
        QVERIFY(!h.log.logFileOpen());
        QCOMPARE(h.state.adsLoggedThisSession, 0);

        h.log.LogBlocked(QStringLiteral("a<===>b"));
        const QByteArray before = h.logBytes();
        h.log.LogBlocked(QString());
        QCOMPARE(h.logBytes(), before);
        QCOMPARE(h.state.adsLoggedThisSession, 1);
    }

    void eachRecordIsOnDiskWhenLogBlockedReturns() {
        BlockingHarness h;
        for (int i = 1; i <= 3; ++i) {
            h.log.LogBlocked(QStringLiteral("http://ads.example/%1<===>Ad").arg(i));
            QVERIFY(h.log.logFileOpen());
            QCOMPARE(h.logLines().size(), i);
            QCOMPARE(h.logLines().last(),
                     QStringLiteral("http://ads.example/%1<===>Ad 12/4/2026 10:17:46 PM").arg(i));
        }
        QCOMPARE(h.state.adsLoggedThisSession, 3);
    }

    void existingLinesAreKept() {
        BlockingHarness h;
        {
            QFile f(h.logPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("older line 1/1/2020 1:00:00 AM\r\n");
        }
        h.log.LogBlocked(QStringLiteral("new<===>"));
        QCOMPARE(h.logLines(), (QStringList{QStringLiteral("older line 1/1/2020 1:00:00 AM"),
                                            QStringLiteral("new<===> 12/4/2026 10:17:46 PM")}));
    }

    void close_clearsOpenFlagAndTheNextRecordReopens() {
        BlockingHarness h;
        h.log.CloseBlockedLog(); // nothing open: harmless
        QVERIFY(!h.log.logFileOpen());
        h.log.LogBlocked(QStringLiteral("one<===>"));
        QVERIFY(h.log.logFileOpen());
        h.log.CloseBlockedLog();
        QVERIFY(!h.log.logFileOpen());
        h.log.LogBlocked(QStringLiteral("two<===>"));
        QVERIFY(h.log.logFileOpen());
        QCOMPARE(h.logLines().size(), 2);
    }

    void fileDeleted_isCreatedAgainByTheNextRecord_data() {
        QTest::addColumn<bool>("closedFirst");
        QTest::newRow("closed before the delete") << true;
        QTest::newRow("deleted while open") << false;
    }
    void fileDeleted_isCreatedAgainByTheNextRecord() {
        QFETCH(bool, closedFirst);
        BlockingHarness h;
        h.log.LogBlocked(QStringLiteral("first<===>"));
        if (closedFirst)
            h.log.CloseBlockedLog();
        QVERIFY(QFile::remove(h.logPath()));
        h.log.LogBlocked(QStringLiteral("second<===>"));
        QCOMPARE(h.logLines(), QStringList{QStringLiteral("second<===> 12/4/2026 10:17:46 PM")});
    }

    void unwritableFile_losesTheRecordSilently() {
        BlockingHarness h;
        // The log's folder does not exist, so the file cannot be created.
        const QString folder = h.dir.filePath(QStringLiteral("missing"));
        BlockedLog log(folder + QStringLiteral("/skipped_sites.txt"), h.clock, h.state);
        log.LogBlocked(QStringLiteral("lost<===>"));
        QVERIFY(!log.logFileOpen());
        QVERIFY(!QFile::exists(log.filePath()));
        QVERIFY(h.messages.texts.isEmpty());
        // A failing write is skipped like any other step; the record still counts.
        QCOMPARE(h.state.adsLoggedThisSession, 1);

        // Once the folder is there, the next record opens the file.
        QVERIFY(QDir().mkpath(folder));
        log.LogBlocked(QStringLiteral("kept<===>"));
        QVERIFY(log.logFileOpen());
        QFile f(log.filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("kept<===> 12/4/2026 10:17:46 PM\r\n"));
    }

    void pendingEventsRunBeforeTheRecordIsWritten() {
        BlockingHarness h;
        // Queued work that logs on its own (a redirect pass, say) gets in first.
        QTimer::singleShot(0, &h.browser, [&] { h.log.LogBlocked(QStringLiteral("queued<===>")); });
        h.log.LogBlocked(QStringLiteral("caller<===>"));
        QCOMPARE(h.logLines(), (QStringList{QStringLiteral("queued<===> 12/4/2026 10:17:46 PM"),
                                            QStringLiteral("caller<===> 12/4/2026 10:17:46 PM")}));
    }

    void logClosedByQueuedWork_isOpenedAgainForTheRecord() {
        BlockingHarness h;
        h.log.LogBlocked(QStringLiteral("one<===>"));
        QTimer::singleShot(0, &h.browser, [&] { h.log.CloseBlockedLog(); });
        h.log.LogBlocked(QStringLiteral("two<===>"));
        QVERIFY(h.log.logFileOpen());
        QCOMPARE(h.logLines().size(), 2);
    }
};

PAGEWARDEN_TEST_MAIN(TestBlockedLog, QCoreApplication)
#include "test_blocked_log.moc"
