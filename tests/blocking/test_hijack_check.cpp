#include "blocking/HijackCheck.h"
#include "blocking/KillDelay.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

namespace {

using Op = FakeBrowser::Op;

const QString home = QStringLiteral("http://home.example/");
const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");

// Survey passes over ordinary browser windows (menu bar, no opener), so only the hijack check
// acts on them.
struct HijackRig {
    HijackRig() : pass(h.context) {
        pass.setDelayObserver([this](double) { ++delays; });
        h.settings.desiredHomeUrl = home;
    }
    WindowKey addPage(const QString& url, const QString& title = QStringLiteral("Page")) {
        return h.browser.addBrowser(url, title);
    }
    void run() {
        h.state.forcePass = true;
        pass.run();
    }
    QString redirectLine(const QString& url, const QString& title = QStringLiteral("Page")) const {
        return url + "<===>" + title + " , redirected to " + home + stamp;
    }

    BlockingHarness h;
    SurveyPass pass;
    int delays = 0;
};

QString nav(WindowKey w, const QString& to = home) {
    return QStringLiteral("navigate %1 %2").arg(w).arg(to);
}
QString ref(WindowKey w) {
    return QStringLiteral("refresh %1").arg(w);
}

} // namespace

class TestHijackCheck : public QObject {
    Q_OBJECT

private slots:
    void exactMatch_isSentHomeOnce() {
        HijackRig r;
        r.h.options.beepOn = true;
        r.h.settings.hijackPatterns = {QStringLiteral("http://hijack.example/")};
        const WindowKey w = r.addPage(QStringLiteral("http://hijack.example/"), "Hijacked");
        r.run();
        // After the exact rule the address is the home page, which the substring rule leaves.
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w)}));
        QCOMPARE(r.h.logLines(),
                 QStringList{r.redirectLine(QStringLiteral("http://hijack.example/"), "Hijacked")});
        QCOMPARE(r.h.beeper.beeps, 1);
        QCOMPARE(r.delays, 1 + 2);
        QCOMPARE(r.h.state.redirectedWindowHandle, 0);
        // A redirect is not a kill.
        QCOMPARE(r.h.state.popupsTerminated, 0);
    }

    void exactMatchStillShowingThePattern_isSentHomeAgainBySubstring() {
        HijackRig r;
        r.h.browser.navigateChangesAddressAfterMs = -1; // the page refuses to leave
        r.h.settings.hijackPatterns = {QStringLiteral("http://hijack.example/")};
        const WindowKey w = r.addPage(QStringLiteral("http://hijack.example/"));
        r.run();
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w), nav(w), ref(w)}));
        // Logged twice: the window was not the remembered one yet.
        QCOMPARE(r.h.logLines().size(), 2);
        QCOMPARE(r.delays, 1 + 2 + 4);
        QCOMPARE(r.h.state.redirectedWindowHandle, r.h.browser.window(w).handle);
    }

    void substringMatch_firstRedirect_remembersTheWindow() {
        HijackRig r;
        r.h.options.beepOn = true;
        r.h.settings.hijackPatterns = {QStringLiteral("search-bar.example")};
        const WindowKey w = r.addPage(QStringLiteral("http://www.search-bar.example/?q=1"));
        r.run();
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w)}));
        QCOMPARE(r.h.logLines(),
                 QStringList{r.redirectLine(QStringLiteral("http://www.search-bar.example/?q=1"))});
        QCOMPARE(r.h.beeper.beeps, 1);
        QCOMPARE(r.delays, 1 + 4);
        QCOMPARE(r.h.state.redirectedWindowHandle, r.h.browser.window(w).handle);
    }

    void substringMatch_rememberedWindow_isSentHomeWithoutARecord() {
        HijackRig r;
        r.h.options.beepOn = true;
        r.h.state.debugMode = true;
        r.h.settings.hijackPatterns = {QStringLiteral("search-bar.example")};
        const WindowKey w = r.addPage(QStringLiteral("http://www.search-bar.example/"));
        const qint64 handle = r.h.browser.window(w).handle;
        r.h.state.redirectedWindowHandle = handle;
        r.run();
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w)}));
        QVERIFY(!QFile::exists(r.h.logPath()));
        QCOMPARE(r.h.messages.texts, QStringList{QStringLiteral("quitting nr. 3, kill popups3")});
        QCOMPARE(r.h.messages.titles, QStringList{QStringLiteral("Pagewarden 8.0")});
        QCOMPARE(r.h.beeper.beeps, 1);
        QCOMPARE(r.delays, 1 + 4);
        QCOMPARE(r.h.state.redirectedWindowHandle, handle);
    }

    void secondMatchingWindow_isRedirectedAndLoggedEveryTime() {
        HijackRig r;
        r.h.browser.navigateChangesAddressAfterMs = -1;
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        const WindowKey first = r.addPage(QStringLiteral("http://bad.example/1"));
        const WindowKey second = r.addPage(QStringLiteral("http://bad.example/2"));
        const qint64 remembered = r.h.browser.window(first).handle;
        r.run();
        r.run();
        QCOMPARE(r.h.state.redirectedWindowHandle, remembered);
        // First window: logged in the first pass only; second window: logged in both.
        QCOMPARE(r.h.logLines(),
                 (QStringList{r.redirectLine(QStringLiteral("http://bad.example/1")),
                              r.redirectLine(QStringLiteral("http://bad.example/2")),
                              r.redirectLine(QStringLiteral("http://bad.example/2"))}));
        QCOMPARE(r.h.browser.actionLog(),
                 (QStringList{nav(first), ref(first), nav(second), ref(second), nav(first),
                              ref(first), nav(second), ref(second)}));
    }

    void noHomePage_onlyWaitsForEachMatchingRule_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("delays");
        QTest::newRow("equal to the pattern") << "http://hijack.example/" << 1 + 2;
        QTest::newRow("contains the pattern") << "http://hijack.example/page" << 1 + 1;
        QTest::newRow("no match") << "http://fine.example/" << 1;
    }
    void noHomePage_onlyWaitsForEachMatchingRule() {
        QFETCH(QString, address);
        QFETCH(int, delays);
        HijackRig r;
        r.h.settings.desiredHomeUrl.clear();
        r.h.settings.hijackPatterns = {QStringLiteral("http://hijack.example/")};
        r.addPage(address);
        r.run();
        QVERIFY(r.h.browser.actions.isEmpty());
        QVERIFY(!QFile::exists(r.h.logPath()));
        QCOMPARE(r.delays, delays);
    }

    void matching_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("redirected");
        QTest::newRow("substring anywhere") << "hijack"
                                            << "http://x.example/?hijack=1" << true;
        QTest::newRow("case differs") << "HIJACK"
                                      << "http://hijack.example/" << false;
        QTest::newRow("star is no wildcard") << "hij*ck"
                                             << "http://hijack.example/" << false;
        QTest::newRow("star taken literally") << "hij*ck"
                                              << "http://x.example/hij*ck" << true;
        QTest::newRow("no trimming") << " hijack"
                                     << "http://hijack.example/" << false;
        QTest::newRow("empty pattern, empty address") << ""
                                                      << "" << true;
        QTest::newRow("empty pattern, any address") << ""
                                                    << "http://x.example/" << false;
    }
    void matching() {
        QFETCH(QString, pattern);
        QFETCH(QString, address);
        QFETCH(bool, redirected);
        HijackRig r;
        r.h.settings.hijackPatterns = {pattern};
        const WindowKey w = r.addPage(address);
        r.run();
        QCOMPARE(r.h.browser.actionLog().contains(nav(w)), redirected);
        QCOMPARE(r.h.logLines().size(), redirected ? 1 : 0);
    }

    void laterPatternsSeeTheAddressTheWindowWasSentTo() {
        HijackRig r;
        // The second pattern matches the home page itself.
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example"),
                                       QStringLiteral("home.example")};
        const WindowKey w = r.addPage(QStringLiteral("http://bad.example/"));
        r.run();
        // Pattern 1 sends it home and remembers it; pattern 2 then meets it on the home page and
        // takes the repeat branch.
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w), nav(w), ref(w)}));
        QCOMPARE(r.h.logLines().size(), 1);
        QCOMPARE(r.delays, 1 + 4 + 4);
    }

    void logViewerOpen_testsNoPattern() {
        HijackRig r;
        r.h.state.logViewerOpen = true;
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        r.addPage(QStringLiteral("http://bad.example/"));
        r.run();
        QCOMPARE(r.h.browser.calls.value(Op::LocationUrl), 0);
        QVERIFY(r.h.browser.actions.isEmpty());
        QCOMPARE(r.delays, 1);
    }

    void folderWindow_isNeverTested() {
        HijackRig r;
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        FakeWindow folder;
        folder.url = QStringLiteral("file:///home/bad.example");
        folder.html = false;
        r.h.browser.addWindow(folder);
        r.run();
        QCOMPARE(r.h.browser.calls.value(Op::LocationUrl), 0);
        QVERIFY(r.h.browser.actions.isEmpty());
    }

    void addressThatCannotBeRead_runsBothRulesAsIfMatched() {
        HijackRig r;
        r.h.settings.desiredHomeUrl.clear();
        r.h.settings.hijackPatterns = {QStringLiteral("a"), QStringLiteral("b")};
        const WindowKey w = r.addPage(QStringLiteral("http://fine.example/"));
        r.h.browser.fail(Op::LocationUrl, w);
        r.run();
        QCOMPARE(r.delays, 1 + 2 * 2);
        QVERIFY(r.h.browser.actions.isEmpty());
    }

    void failingStepsOfARedirectAreSkipped_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<int>("logged");
        QTest::addColumn<bool>("remembered");
        QTest::newRow("navigate") << int(Op::Navigate) << QStringList{ref(1)} << 1 << true;
        QTest::newRow("refresh") << int(Op::Refresh) << QStringList{nav(1)} << 1 << true;
        QTest::newRow("document URL")
            << int(Op::DocumentUrl) << QStringList{nav(1), ref(1)} << 0 << true;
        // A handle that cannot be read takes the first-redirect branch and is not remembered.
        QTest::newRow("handle") << int(Op::Handle) << QStringList{nav(1), ref(1)} << 1 << false;
    }
    void failingStepsOfARedirectAreSkipped() {
        QFETCH(int, op);
        QFETCH(QStringList, actions);
        QFETCH(int, logged);
        QFETCH(bool, remembered);
        HijackRig r;
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        const WindowKey w = r.addPage(QStringLiteral("http://bad.example/x"));
        QCOMPARE(w, WindowKey(1));
        r.h.browser.fail(Op(op), w);
        r.run();
        QCOMPARE(r.h.browser.actionLog(), actions);
        QCOMPARE(r.h.logLines().size(), logged);
        QCOMPARE(r.h.state.redirectedWindowHandle != 0, remembered);
        QCOMPARE(r.delays, 1 + 4);
    }

    void patternListLongerThanTheCounterReaches_stopsAtItsLimit() {
        HijackRig r;
        r.h.settings.desiredHomeUrl.clear();
        r.h.options.popupKillSpeed = QStringLiteral("0");
        QStringList patterns;
        for (int i = 0; i < 32767 + 5; ++i)
            patterns.append(QStringLiteral("p%1/").arg(i));
        r.h.settings.hijackPatterns = patterns;
        // Only the patterns past the limit would match.
        r.addPage(QStringLiteral("http://x.example/p32770/"));
        r.run();
        QCOMPARE(r.delays, 1);
    }

    // The periodic redirect pass runs the same check with a repeat branch of its own.
    void otherRepeatBranch_replacesTheSurveyOne() {
        BlockingHarness h;
        h.settings.desiredHomeUrl = home;
        h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        h.options.beepOn = true;
        const WindowKey w = h.browser.addBrowser(QStringLiteral("http://bad.example/"));
        h.state.redirectedWindowHandle = h.browser.window(w).handle;
        int delays = 0;
        KillDelay delay(h.clock, h.options);
        delay.observer = [&](double) { ++delays; };
        QList<WindowKey> branchRuns;
        int delaysBeforeBranch = -1;
        HijackCheck check(h.context, delay, [&](HijackCheck& c, WindowKey window) {
            branchRuns.append(window);
            delaysBeforeBranch = delays;
            c.context().state.redirectedWindowHandle = 0;
            return c.delay(1);
        });
        QVERIFY(check.run(w));
        QCOMPARE(branchRuns, QList<WindowKey>{w});
        QCOMPARE(delaysBeforeBranch, 0);
        QCOMPARE(h.state.redirectedWindowHandle, 0);
        // The check itself adds the two delays and the reload after the branch.
        QCOMPARE(delays, 1 + 2);
        QCOMPARE(h.browser.actionLog(), QStringList{ref(w)});
        QCOMPARE(h.beeper.beeps, 0);
    }

    void givenUpCheck_stopsAtTheNextWait() {
        BlockingHarness h;
        h.settings.desiredHomeUrl = home;
        h.settings.hijackPatterns = {QStringLiteral("bad.example"), QStringLiteral("worse")};
        const WindowKey w = h.browser.addBrowser(QStringLiteral("http://bad.example/worse"));
        bool wanted = true;
        h.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        KillDelay delay(h.clock, h.options, [&] { return wanted; });
        HijackCheck check(h.context, delay, HijackCheck::surveyRepeatBranch());
        QVERIFY(!check.run(w));
        QCOMPARE(h.browser.actionLog(), QStringList{nav(w)});
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackCheck, QCoreApplication)
#include "test_hijack_check.moc"
