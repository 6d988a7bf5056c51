#include "platform/WebPageOpener.h"
#include "support/TestMain.h"

// Remembers what it was asked to open and answers as told.
struct RecordingOpener : WebPageOpener {
    void openPage(const QString& startPage, const QString& address, Done done) override {
        calls << startPage + " -> " + address;
        done(answer, answer ? QString() : QStringLiteral("refused"));
    }
    QStringList calls;
    bool answer = true;
};

class TestWebPageOpener : public QObject {
    Q_OBJECT

private slots:
    void guardedBrowserFirst_thenTheFallback_elseAFailureNamingThePage() {
        // guarded there, its answer, a fallback; who was asked and the failure told
        for (const auto& [there, answer, fallback, outcome] :
             {std::tuple{true, true, true, "1 0 "},
              {true, false, true, "1 0 refused"},
              {false, true, true, "0 1 "},
              {false, true, false,
               "0 0 No browser is available to open http://vendor.example/help."}}) {
            RecordingOpener guarded;
            guarded.answer = answer;
            RecordingOpener desktop;
            GuardedPageOpener opener(
                guarded, [isThere = there] { return isThere; }, fallback ? &desktop : nullptr);
            QStringList answers;
            opener.openPage("http://vendor.example/", "http://vendor.example/help",
                            [&](bool ok, const QString& why) { answers << (ok ? "" : why); });
            QCOMPARE(answers.size(), 1);
            QCOMPARE(QStringLiteral("%1 %2 %3")
                         .arg(guarded.calls.size())
                         .arg(desktop.calls.size())
                         .arg(answers.first()),
                     QString(outcome));
            for (const QString& call : guarded.calls + desktop.calls)
                QCOMPARE(call, "http://vendor.example/ -> http://vendor.example/help");
        }
    }
};

PAGEWARDEN_TEST_MAIN(TestWebPageOpener, QCoreApplication)
#include "test_web_page_opener.moc"
