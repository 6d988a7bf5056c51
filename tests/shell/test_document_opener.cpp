#include "platform/WebPageOpener.h"
#include "shell/DocumentOpener.h"
#include "support/Recorders.h"
#include "support/TestMain.h"

namespace {
class RecordingPages : public WebPageOpener {
public:
    void openPage(const QString& startPage, const QString& address, Done done) override {
        opened.append({startPage, address});
        if (done)
            done(succeed, succeed ? QString() : QStringLiteral("The browser went away."));
    }
    QList<QPair<QString, QString>> opened;
    bool succeed = true;
};
} // namespace

class TestDocumentOpener : public QObject {
    Q_OBJECT

private slots:
    void webAddresses_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("opened");
        QTest::newRow("plain") << "http://a.example/"
                               << "http://a.example/";
        QTest::newRow("quote token") << "http://a.example/_dblq_x"
                                     << "http://a.example/\"x";
        QTest::newRow("parentheses") << "http://a.example/_lftp_b_rtp_"
                                     << "http://a.example/(b)";
        QTest::newRow("a path with 'file' is not decoded") << "http://a.example/profile_dblq_"
                                                           << "http://a.example/profile_dblq_";
        QTest::newRow("empty opens only the start page") << ""
                                                         << "";
    }
    void webAddresses() {
        QFETCH(QString, target);
        QFETCH(QString, opened);
        RecordingPages pages;
        RecordingMessageBoxes messages;
        DocumentOpener opener(pages, messages, "Pagewarden 8.0", {});
        opener.vendorSiteUrl = "http://vendor.example";
        opener.OpenDocument("web", target);
        QCOMPARE(pages.opened.size(), 1);
        QCOMPARE(pages.opened.first().first, QStringLiteral("http://vendor.example"));
        QCOMPARE(pages.opened.first().second, opened);
        QVERIFY(messages.texts.isEmpty());
    }

    void aFailedOpenIsReportedOnce() {
        RecordingPages pages;
        pages.succeed = false;
        RecordingMessageBoxes messages;
        DocumentOpener opener(pages, messages, "Pagewarden 8.0", {});
        opener.OpenDocument("web", "http://a.example/");
        QCOMPARE(messages.texts, QStringList{"The browser went away."});
        QCOMPARE(messages.titles, QStringList{"Pagewarden 8.0"});
    }

    void filesOpenWithTheDesktop_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("opened");
        QTest::newRow("plain") << "/home/u/log.txt"
                               << "/home/u/log.txt";
        QTest::newRow("quoted") << "\"/home/u/my log.txt\""
                                << "/home/u/my log.txt";
        QTest::newRow("one quote only") << "\"/home/u/x"
                                        << "\"/home/u/x";
    }
    void filesOpenWithTheDesktop() {
        QFETCH(QString, path);
        QFETCH(QString, opened);
        RecordingPages pages;
        RecordingMessageBoxes messages;
        QStringList files;
        DocumentOpener opener(pages, messages, "Pagewarden 8.0", [&](const QString& file) {
            files << file;
            return true;
        });
        opener.OpenDocument("Notepad", path);
        QCOMPARE(files, QStringList{opened});
        QVERIFY(pages.opened.isEmpty());
    }

    void otherKindsDoNothing() {
        RecordingPages pages;
        RecordingMessageBoxes messages;
        int files = 0;
        DocumentOpener opener(pages, messages, "t", [&](const QString&) { return ++files > 0; });
        opener.OpenDocument("WEB", "http://a.example/");
        opener.OpenDocument("notepad", "/x");
        QVERIFY(pages.opened.isEmpty());
        QCOMPARE(files, 0);
    }
};

PAGEWARDEN_TEST_MAIN(TestDocumentOpener, QCoreApplication)
#include "test_document_opener.moc"
