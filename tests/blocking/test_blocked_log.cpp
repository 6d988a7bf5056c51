#include "blocking/BlockedLogReader.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

#include <QDir>
#include <sys/stat.h>

class TestBlockedLog : public QObject {
    Q_OBJECT

private slots:
    void recordIsWrittenAsOneLine_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("stamped"); // date and time added, and counted
        QTest::newRow("closed window") << "http://ads.example/pop<===>Win a prize" << true;
        QTest::newRow("day separator") << "------------ 12/4/2026 10:17:46 PM ----------" << false;
        QTest::newRow("today's date in the address")
            << "http://n.example/12/4/2026/a<===>" << false;
        QTest::newRow("non-ascii") << "http://xn--grn.example/<===>Grüße – 日本語" << true;
    }
    void recordIsWrittenAsOneLine() {
        QFETCH(QString, record);
        QFETCH(bool, stamped);
        BlockingHarness h;
        h.state.adsLoggedThisSession = 5;
        h.log.LogBlocked(record);
        QCOMPARE(h.logLines(), QStringList{stamped ? record + h.stamp : record});
        QCOMPARE(h.state.adsLoggedThisSession, 5 + int(stamped));
    }

    // Queued work that logs or closes the log gets in before the record; a closed or deleted log
    // starts again at the next record.
    void fileLifecycle() {
        BlockingHarness h;
        const QString stamp = "<===> 12/4/2026 10:17:46 PM";
        h.log.LogBlocked(QString()); // an empty record creates nothing
        QVERIFY(!QFile::exists(h.logPath()));
        QTimer::singleShot(0, &h.browser, [&] { h.log.LogBlocked(QStringLiteral("queued<===>")); });
        h.log.LogBlocked(QStringLiteral("one<===>"));
        QTimer::singleShot(0, &h.browser, [&] { h.log.CloseBlockedLog(); });
        h.log.LogBlocked(QStringLiteral("two<===>")); // appended after the reopen, on disk at once
        QVERIFY(h.log.logFileOpen());
        QCOMPARE(h.logLines(), (QStringList{"queued" + stamp, "one" + stamp, "two" + stamp}));
        QVERIFY(QFile::remove(h.logPath())); // deleted while open: the file starts again
        h.log.LogBlocked(QStringLiteral("three<===>"));
        QCOMPARE(h.logLines(), QStringList{"three" + stamp});
        // A log of visited pages that we make is readable by its user only.
        QCOMPARE(int(QFile::permissions(h.logPath()) & 0x0077), 0); // no group or other bits
        // Past midnight (or with the clock put back) each record carries the date of its moment,
        // and one holding the day before's date is a record like any other.
        h.clock.date = "12/5/2026";
        h.log.LogBlocked(QStringLiteral("http://n.example/12/4/2026<===>"));
        QCOMPARE(h.logLines().last(), "http://n.example/12/4/2026<===> 12/5/2026 10:17:46 PM");
        QCOMPARE(h.state.adsLoggedThisSession, 5);
        // The date and time come from one reading of the clock, even at the stroke of midnight.
        QDateTime moment(QDate(2026, 12, 4), QTime(23, 59, 59, 999));
        h.clock.wall = [&moment] { return std::exchange(moment, moment.addMSecs(1)); };
        h.log.LogBlocked(QStringLiteral("midnight<===>"));
        QCOMPARE(h.logLines().last(), "midnight<===> " +
                                          dateText(QLocale::system(), QDate(2026, 12, 4)) + ' ' +
                                          timeText(QLocale::system(), QTime(23, 59, 59)));
    }

    // Records, the day's separator and last_used_date carry a four-digit year and no time zone.
    void dateAndTimeTexts() {
        const QLocale us("en_US"), de("de_DE");
        QCOMPARE(dateText(us, QDate(2026, 12, 6)), QStringLiteral("12/6/2026"));
        QCOMPARE(dateText(de, QDate(2026, 12, 6)), QStringLiteral("06.12.2026"));
        QCOMPARE(timeText(us, QTime(17, 40, 22)).replace(QChar(0x202f), ' '), "5:40:22 PM");
        QCOMPARE(timeText(de, QTime(17, 40, 22)), QStringLiteral("17:40:22"));
    }

    // The window is closed whatever becomes of its record; a failing log is reported once per run
    // of failures, and the next record tries a fresh open.
    void unwritableLog_data() {
        QTest::addColumn<QString>("breakIt");
        QTest::addColumn<bool>("lost");
        QTest::newRow("folder gone") << "folder" << false; // made again
        QTest::newRow("disk full") << "full" << true;
        QTest::newRow("cannot be opened") << "directory" << true;
        QTest::newRow("a FIFO nobody reads") << "fifo" << true; // never waited for
    }
    void unwritableLog() {
        QFETCH(QString, breakIt);
        QFETCH(bool, lost);
        BlockingHarness h;
        const QString path = h.logPath();
        QStringList reports;
        h.log.onFailure = [&](const QString& text) { reports << text; };
        h.log.LogBlocked(QStringLiteral("first<===>"));
        if (lost) {
            h.log.CloseBlockedLog(); // blocking stopped meanwhile
            QVERIFY(QFile::remove(path));
            QVERIFY(breakIt == "full"        ? QFile::link(QStringLiteral("/dev/full"), path)
                    : breakIt == "directory" ? QDir().mkdir(path)
                                             : ::mkfifo(QFile::encodeName(path), 0600) == 0);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the blocked-ads"));
        } else {
            QVERIFY(QDir(h.dir.path()).removeRecursively());
        }
        QTest::failOnWarning(QRegularExpression("cannot write the blocked-ads"));
        for (int i = 0; i < 3; ++i)
            h.log.LogBlocked(QStringLiteral("next<===>"));
        QCOMPARE(h.state.adsLoggedThisSession, 4);
        QCOMPARE(reports.size(), int(lost));
        if (!lost) {
            QCOMPARE(QFile(path).size(), qint64(3 * 33));
            return;
        }
        QVERIFY(reports.first().contains(QStringLiteral("cannot be written")));
        QVERIFY(BlockedLogReader::readFirstLines(path).isEmpty()); // nor waited for when read
        // Mended: the next record is written.
        QVERIFY(QFile::remove(path) || QDir().rmdir(path));
        h.log.LogBlocked(QStringLiteral("kept<===>"));
        QCOMPARE(QFile(path).size(), qint64(33));
    }
};

PAGEWARDEN_TEST_MAIN(TestBlockedLog, QCoreApplication)
#include "test_blocked_log.moc"
