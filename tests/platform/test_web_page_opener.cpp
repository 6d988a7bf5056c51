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
    void guardedBrowser_isUsedWhileItIsThere() {
        RecordingOpener guarded;
        RecordingOpener desktop;
        bool available = true;
        GuardedPageOpener opener(
            guarded, [&] { return available; }, &desktop);
        bool ok = false;
        opener.openPage("http://vendor.example/", "http://vendor.example/help",
                        [&](bool success, const QString&) { ok = success; });
        QVERIFY(ok);
        QCOMPARE(guarded.calls,
                 QStringList{"http://vendor.example/ -> http://vendor.example/help"});
        QVERIFY(desktop.calls.isEmpty());
    }

    void withoutAGuardedBrowser_theFallbackOpensThePage() {
        RecordingOpener guarded;
        RecordingOpener desktop;
        GuardedPageOpener opener(
            guarded, [] { return false; }, &desktop);
        opener.openPage("http://vendor.example/", "http://vendor.example/help", {});
        QVERIFY(guarded.calls.isEmpty());
        QCOMPARE(desktop.calls,
                 QStringList{"http://vendor.example/ -> http://vendor.example/help"});
    }

    void withoutAnyBrowser_theFailureIsDescribed() {
        RecordingOpener guarded;
        GuardedPageOpener opener(guarded, [] { return false; });
        bool called = false;
        bool ok = true;
        QString why;
        opener.openPage("http://vendor.example/", "http://vendor.example/help",
                        [&](bool success, const QString& failure) {
                            called = true;
                            ok = success;
                            why = failure;
                        });
        QVERIFY(called);
        QVERIFY(!ok);
        QVERIFY(why.contains("http://vendor.example/help"));
        QVERIFY(guarded.calls.isEmpty());
    }

    void guardedFailure_isPassedOnAsItIs() {
        RecordingOpener guarded;
        guarded.answer = false;
        RecordingOpener desktop;
        GuardedPageOpener opener(
            guarded, [] { return true; }, &desktop);
        QString why;
        opener.openPage("s", "a", [&](bool, const QString& failure) { why = failure; });
        QCOMPARE(why, QStringLiteral("refused"));
        QVERIFY(desktop.calls.isEmpty());
    }
};

PAGEWARDEN_TEST_MAIN(TestWebPageOpener, QCoreApplication)
#include "test_web_page_opener.moc"
