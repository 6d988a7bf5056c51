#include "platform/WebPageOpener.h"
#include "support/TestMain.h"

namespace {

// Remembers what it was asked to open and answers as told.
class RecordingOpener : public WebPageOpener {
public:
    void openPage(const QString& startPage, const QString& address, Done done) override {
        calls << startPage + QStringLiteral(" -> ") + address;
        if (done)
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
        QTest::addColumn<QString>("opens"); // "guarded", "fallback" or "" (nobody)
        QTest::addColumn<QString>("failure");
        QTest::newRow("guarded") << true << true << true << "guarded"
                                 << "";
        QTest::newRow("guarded refuses") << true << false << true << "guarded"
                                         << "refused";
        QTest::newRow("fallback") << false << true << true << "fallback"
                                  << "";
        QTest::newRow("nobody") << false << true << false << ""
                                << "No browser is available to open http://vendor.example/help.";
    }

    void guardedBrowserFirst_thenTheFallback_elseAFailureNamingThePage() {
        QFETCH(bool, guardedThere);
        QFETCH(bool, guardedAnswer);
        QFETCH(bool, withFallback);
        QFETCH(QString, opens);
        QFETCH(QString, failure);
        RecordingOpener guarded;
        guarded.answer = guardedAnswer;
        RecordingOpener fallback;
        GuardedPageOpener opener(
            guarded, [&] { return guardedThere; }, withFallback ? &fallback : nullptr);
        int calls = 0;
        QString why = "not called";
        opener.openPage("http://vendor.example/", "http://vendor.example/help",
                        [&](bool ok, const QString& text) {
                            ++calls;
                            why = text;
                            QCOMPARE(ok, text.isEmpty());
                        });
        QCOMPARE(calls, 1);
        QCOMPARE(why, failure);
        const QStringList call{"http://vendor.example/ -> http://vendor.example/help"};
        QCOMPARE(guarded.calls, opens == "guarded" ? call : QStringList());
        QCOMPARE(fallback.calls, opens == "fallback" ? call : QStringList());
    }
};

PAGEWARDEN_TEST_MAIN(TestWebPageOpener, QCoreApplication)
#include "test_web_page_opener.moc"
