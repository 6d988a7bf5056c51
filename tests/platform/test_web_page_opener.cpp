#include "platform/WebPageOpener.h"
#include "support/TestMain.h"

namespace {

// Remembers what it was asked to open and answers as told.
struct RecordingOpener : WebPageOpener {
    void openPage(const QString& startPage, const QString& address, Done done) override {
        calls << startPage + " -> " + address;
        done(answer, answer ? QString() : QStringLiteral("refused"));
    }
    QStringList calls;
    bool answer = true;
};

} // namespace

class TestWebPageOpener : public QObject {
    Q_OBJECT

private slots:
    void guardedBrowserFirst_thenTheFallback_elseAFailureNamingThePage_data() {
        QTest::addColumn<bool>("guardedThere");
        QTest::addColumn<bool>("guardedAnswer");
        QTest::addColumn<bool>("withFallback");
        QTest::addColumn<QString>("outcome"); // who opened it: what each was asked, and the failure
        QTest::newRow("guarded") << true << true << true << "1 0 ";
        QTest::newRow("guarded refuses") << true << false << true << "1 0 refused";
        QTest::newRow("fallback") << false << true << true << "0 1 ";
        QTest::newRow("nobody")
            << false << true << false
            << "0 0 No browser is available to open http://vendor.example/help.";
    }

    void guardedBrowserFirst_thenTheFallback_elseAFailureNamingThePage() {
        QFETCH(bool, guardedThere);
        QFETCH(bool, guardedAnswer);
        QFETCH(bool, withFallback);
        QFETCH(QString, outcome);
        RecordingOpener guarded;
        guarded.answer = guardedAnswer;
        RecordingOpener fallback;
        GuardedPageOpener opener(
            guarded, [&] { return guardedThere; }, withFallback ? &fallback : nullptr);
        QStringList answers;
        opener.openPage("http://vendor.example/", "http://vendor.example/help",
                        [&](bool ok, const QString& why) { answers << (ok ? "" : why); });
        QCOMPARE(answers.size(), 1);
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(guarded.calls.size())
                     .arg(fallback.calls.size())
                     .arg(answers.first()),
                 outcome);
        for (const QString& call : guarded.calls + fallback.calls)
            QCOMPARE(call, "http://vendor.example/ -> http://vendor.example/help");
    }
};

PAGEWARDEN_TEST_MAIN(TestWebPageOpener, QCoreApplication)
#include "test_web_page_opener.moc"
