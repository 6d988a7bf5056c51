#include "app/ProgramState.h"
#include "blocking/HijackCheck.h"
#include "blocking/KillDelay.h"
#include "blocking/SurveyPass.h"
#include "hijack/RedirectPass.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

namespace {

using Op = FakeBrowser::Op;

const QString home = QStringLiteral("http://home.example/");
const QString stamp = QStringLiteral(" 12/4/2026 10:17:46 PM");

// Both passes over ordinary browser windows (menu bar, no opener), so only the hijack check acts
// on them. Delays are counted without the one the survey pass spends before walking.
struct HijackRig {
    explicit HijackRig(bool surveyPass) : survey(surveyPass), pass(h.context), redirect(h.context) {
        pass.setDelayObserver([this](double) { ++delays; });
        redirect.delayObserver = [this](double) { ++delays; };
        h.settings.desiredHomeUrl = home;
    }
    WindowKey addPage(const QString& url) { return h.browser.addBrowser(url, "Page"); }
    qint64 handleOf(WindowKey w) { return h.browser.window(w).handle; }
    void run() {
        if (survey) {
            h.state.forcePass = true;
            pass.run();
            --delays;
        } else {
            redirect.run();
        }
    }

    BlockingHarness h;
    bool survey;
    SurveyPass pass;
    RedirectPass redirect;
    int delays = 0;
};

QString nav(WindowKey w, const QString& to = home) {
    return QStringLiteral("navigate %1 %2").arg(w).arg(to);
}
QString ref(WindowKey w) {
    return QStringLiteral("refresh %1").arg(w);
}

void addPassColumn() {
    QTest::addColumn<bool>("survey");
}

} // namespace

class TestHijackCheck : public QObject {
    Q_OBJECT

private slots:
    // One window, one pattern, run by each pass. `remembered` is who redirectedWindowHandle
    // names before the pass ("none", "this", "other"); `after` the same after it.
    void rules_data() {
        addPassColumn();
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("pageStays"); // the page refuses to leave
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("delays");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QStringList>("boxes");
        const QString bad = "http://bad.example/";
        const QStringList once{nav(1), ref(1)};
        const QStringList twice{nav(1), ref(1), nav(1), ref(1)};
        const QStringList logged{bad + "<===>Page , redirected to " + home + stamp};
        const QStringList repeat{bad + "<===>Page" + stamp};
        const QStringList none;
        const QStringList quitting3{"quitting nr. 3, kill popups3"};
        for (const bool survey : {true, false}) {
            const char* p = survey ? "survey: " : "redirect: ";
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(p + QString(name))) << survey;
            };
            // The exact rule sends it home; the substring rule then meets the home page.
            row("exact") << bad << bad << false << "none" << once << logged << 2 << "none" << 1
                         << none;
            row("exact, page stays") << bad << bad << true << "none" << twice << (logged + logged)
                                     << 6 << "this" << 2 << none;
            row("substring, first redirect") << "bad.example" << bad << false << "none" << once
                                             << logged << 4 << "this" << 1 << none;
            row("substring, other window remembered")
                << "bad.example" << bad << false << "other" << once << logged << 4 << "other" << 1
                << none;
            row("substring, this window remembered")
                << "bad.example" << bad << false << "this" << once << (survey ? none : repeat)
                << (survey ? 4 : 6) << (survey ? "this" : "none") << (survey ? 1 : 0)
                << (survey ? quitting3 : none);
            row("letter case differs") << "BAD.example" << bad << false << "none" << none << none
                                       << 0 << "none" << 0 << none;
            row("star is no wildcard")
                << "b*d" << bad << false << "none" << none << none << 0 << "none" << 0 << none;
            row("empty pattern, empty address") << ""
                                                << "" << false << "none" << once
                                                << QStringList{"<===>Page , redirected "
                                                               "to " +
                                                               home + stamp}
                                                << 2 << "none" << 1 << none;
            row("empty pattern, any address")
                << "" << bad << false << "none" << none << none << 0 << "none" << 0 << none;
            // The home page itself matches: it is sent to itself and logged, every pass.
            row("home page matches")
                << "home.example" << home << false << "none" << once
                << QStringList{home + "<===>Page , redirected to " + home + stamp} << 4 << "this"
                << 1 << none;
        }
    }
    void rules() {
        QFETCH(bool, survey);
        QFETCH(QString, pattern);
        QFETCH(QString, address);
        QFETCH(bool, pageStays);
        QFETCH(QString, remembered);
        HijackRig r(survey);
        r.h.state.debugMode = true;
        r.h.options.beepOn = true;
        if (pageStays)
            r.h.browser.navigateChangesAddressAfterMs = -1;
        r.h.settings.hijackPatterns = {pattern};
        const WindowKey w = r.addPage(address);
        const QHash<QString, qint64> handles{{"none", 0}, {"this", r.handleOf(w)}, {"other", 7}};
        r.h.state.redirectedWindowHandle = handles[remembered];
        r.run();
        QTEST(r.h.browser.actionLog(), "actions");
        QTEST(r.h.logLines(), "log");
        QTEST(r.delays, "delays");
        QFETCH(QString, after);
        QCOMPARE(r.h.state.redirectedWindowHandle, handles[after]);
        QTEST(r.h.beeper.beeps, "beeps");
        QTEST(r.h.messages.texts, "boxes");
        QCOMPARE(r.h.state.popupsTerminated, 0); // a redirect is not a kill
    }

    void noHomePage_onlyWaitsForEachMatchingRule_data() {
        addPassColumn();
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("delays");
        for (const bool survey : {true, false}) {
            const QString p = survey ? "survey: " : "redirect: ";
            QTest::newRow(qPrintable(p + "equal")) << survey << "http://bad.example/" << 2;
            QTest::newRow(qPrintable(p + "contains")) << survey << "http://bad.example/x" << 1;
            QTest::newRow(qPrintable(p + "no match")) << survey << "http://fine.example/" << 0;
        }
    }
    void noHomePage_onlyWaitsForEachMatchingRule() {
        QFETCH(bool, survey);
        QFETCH(QString, address);
        HijackRig r(survey);
        r.h.settings.desiredHomeUrl.clear();
        r.h.settings.hijackPatterns = {QStringLiteral("http://bad.example/")};
        r.addPage(address);
        r.run();
        QVERIFY(r.h.browser.actions.isEmpty());
        QVERIFY(!QFile::exists(r.h.logPath()));
        QTEST(r.delays, "delays");
    }

    void nothingIsTested_data() {
        addPassColumn();
        QTest::addColumn<QString>("why");
        for (const bool survey : {true, false}) {
            const QString p = survey ? "survey: " : "redirect: ";
            QTest::newRow(qPrintable(p + "log viewer open")) << survey << "viewer";
            QTest::newRow(qPrintable(p + "folder window")) << survey << "folder";
        }
        QTest::newRow("redirect: blocking stopped") << false << "stopped";
    }
    void nothingIsTested() {
        QFETCH(bool, survey);
        QFETCH(QString, why);
        HijackRig r(survey);
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        r.h.state.logViewerOpen = why == "viewer";
        r.h.state.blockingStopped = why == "stopped";
        FakeWindow page;
        page.url = QStringLiteral("http://bad.example/");
        page.html = why != "folder";
        r.h.browser.addWindow(page);
        r.run();
        QCOMPARE(r.h.browser.calls.value(Op::LocationUrl), 0);
        QVERIFY(r.h.browser.actions.isEmpty());
        QCOMPARE(r.delays, 0);
    }

    void laterPatternsSeeTheAddressTheWindowWasSentTo() {
        HijackRig r(true);
        // Pattern 1 sends it home and remembers it; pattern 2 meets it on the home page and takes
        // the repeat branch. Pattern 3 never matches, pattern 4 matches only the old address.
        r.h.settings.hijackPatterns = {"bad.example", "home.example", "nowhere", "bad"};
        const WindowKey w = r.addPage(QStringLiteral("http://bad.example/"));
        r.run();
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w), nav(w), ref(w)}));
        QCOMPARE(r.h.logLines().size(), 1);
        QCOMPARE(r.delays, 4 + 4);
    }

    void addressThatCannotBeRead_runsBothRulesAsIfMatched() {
        HijackRig r(true);
        r.h.settings.desiredHomeUrl.clear();
        r.h.settings.hijackPatterns = {QStringLiteral("a"), QStringLiteral("b")};
        const WindowKey w = r.addPage(QStringLiteral("http://fine.example/"));
        r.h.browser.fail(Op::LocationUrl, w);
        r.run();
        QCOMPARE(r.delays, 2 * 2);
        QVERIFY(r.h.browser.actions.isEmpty());
    }

    void windowClosedDuringItsCheck_endsTheCheckAtOnce_data() {
        addPassColumn();
        QTest::addColumn<int>("delays");
        // The survey pass then meets the vanished window's failing reads in its popup rule too.
        QTest::newRow("survey") << true << 4 + 2 + 4;
        QTest::newRow("redirect") << false << 4 + 4;
    }
    void windowClosedDuringItsCheck_endsTheCheckAtOnce() {
        QFETCH(bool, survey);
        HijackRig r(survey);
        QStringList patterns;
        for (int i = 0; i < 50; ++i)
            patterns << QStringLiteral("bad.example");
        r.h.settings.hijackPatterns = patterns;
        const WindowKey w = r.addPage(QStringLiteral("http://bad.example/"));
        const WindowKey other = r.addPage(QStringLiteral("http://bad.example/other"));
        r.h.browser.onAction = [&](const FakeBrowser::Action& a) {
            if (a.window == w)
                r.h.browser.removeWindow(w);
        };
        r.run();
        // The first redirect's waits, then the reload fails on a window that is gone. The next
        // window is still checked.
        QCOMPARE(r.h.browser.actionLog().first(), nav(w));
        QVERIFY(r.h.browser.actionLog().contains(nav(other)));
        QCOMPARE(r.h.logLines().size(), 2);
        QTEST(r.delays, "delays");
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
        HijackRig r(true);
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        const WindowKey w = r.addPage(QStringLiteral("http://bad.example/x"));
        r.h.browser.fail(Op(op), w);
        r.run();
        QTEST(r.h.browser.actionLog(), "actions");
        QTEST(int(r.h.logLines().size()), "logged");
        QTEST(r.h.state.redirectedWindowHandle != 0, "remembered");
        QCOMPARE(r.delays, 4);
    }

    void patternListLongerThanTheCounterReaches_stopsAtItsLimit() {
        HijackRig r(true);
        r.h.settings.desiredHomeUrl.clear();
        r.h.options.popupKillSpeed = QStringLiteral("0");
        QStringList patterns;
        for (int i = 0; i < 32767 + 5; ++i)
            patterns.append(QStringLiteral("p%1/").arg(i));
        r.h.settings.hijackPatterns = patterns;
        r.addPage(QStringLiteral("http://x.example/p32770/")); // only past the limit
        r.run();
        QCOMPARE(r.delays, 0);
        r.addPage(QStringLiteral("http://x.example/p32766/")); // the last one within it
        r.run();
        QCOMPARE(r.delays, 1);
    }

    void tickWhileAPassWaits_isSkipped() {
        HijackRig r(false);
        r.h.settings.hijackPatterns = {QStringLiteral("bad.example")};
        r.addPage(QStringLiteral("http://bad.example/"));
        QList<RedirectPass::Outcome> nested;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { nested << r.redirect.run(); };
        QCOMPARE(r.redirect.run(), RedirectPass::Outcome::Walked);
        QCOMPARE(nested, (QList<RedirectPass::Outcome>{RedirectPass::Outcome::AlreadyRunning,
                                                       RedirectPass::Outcome::AlreadyRunning}));
        QVERIFY(!r.redirect.running());
    }

    void givenUpCheck_stopsAtTheNextWait() {
        BlockingHarness h;
        h.settings.desiredHomeUrl = home;
        h.settings.hijackPatterns = {QStringLiteral("bad.example"), QStringLiteral("worse")};
        const WindowKey w = h.browser.addBrowser(QStringLiteral("http://bad.example/worse"));
        bool wanted = true;
        h.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        KillDelay delay(h.clock, h.options, [&] { return wanted; });
        HijackCheck check(h.context);
        QVERIFY(!check.run(w, delay, HijackCheck::Pass::Survey));
        QCOMPARE(h.browser.actionLog(), QStringList{nav(w)});
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackCheck, QCoreApplication)
#include "test_hijack_check.moc"
