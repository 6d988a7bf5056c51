#include "blocking/HijackCheck.h"
#include "blocking/KillDelay.h"
#include "blocking/ProgramState.h"
#include "blocking/SurveyPass.h"
#include "hijack/RedirectPass.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

namespace {

using Op = FakeBrowser::Op;

const QString home = "http://home.example/";
const QString stamp = " 12/4/2026 10:17:46 PM";

// Both passes over ordinary browser windows (menu bar, no opener), so only the hijack check acts
// on them. Delays are counted without the one the survey pass spends before walking.
struct HijackRig {
    explicit HijackRig(bool surveyPass, QStringList patterns = {"bad.example"})
        : survey(surveyPass), pass(h.context), redirect(h.context) {
        pass.setDelayObserver([this](double) { ++delays; });
        redirect.delayObserver = [this](double) { ++delays; };
        h.settings.desiredHomeUrl = home;
        h.settings.hijackPatterns = std::move(patterns);
    }
    WindowKey addPage(const QString& url) { return h.browser.addBrowser(url, "Page"); }
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

QString nav(WindowKey w) {
    return QStringLiteral("navigate %1 %2").arg(w).arg(home);
}
QString ref(WindowKey w) {
    return QStringLiteral("refresh %1").arg(w);
}

// The rows for each pass, named after it.
void forBothPasses(const std::function<void(bool, const QString&)>& rows) {
    rows(true, QStringLiteral("survey: "));
    rows(false, QStringLiteral("redirect: "));
}

} // namespace

class TestHijackCheck : public QObject {
    Q_OBJECT

private slots:
    // One window, one pattern, run by each pass. `remembered` is who redirectedWindowHandle
    // names before the pass ("none", "this", "other"); `after` the same after it.
    void rules_data() {
        QTest::addColumn<bool>("survey");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("pageStays"); // the page refuses to leave
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("delays");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("beeps"); // -1: one for each record
        const QString bad = "http://bad.example/";
        const QStringList once{nav(1), ref(1)};
        const QStringList logged{bad + "<===>Page , redirected to " + home + stamp};
        forBothPasses([&](bool survey, const QString& p) {
            const auto row = [&](const char* name, QString pattern, QString address, bool stays,
                                 const char* before, QStringList actions, QStringList log,
                                 int delays, const char* after, QString box = {}, int beeps = -1) {
                QTest::newRow(qPrintable(p + name))
                    << survey << pattern << address << stays << QString(before) << actions << log
                    << delays << QString(after) << box << beeps;
            };
            // The exact rule sends it home; the substring rule then meets the home page.
            row("exact", bad, bad, false, "none", once, logged, 2, "none");
            row("exact, page stays", bad, bad, true, "none", once + once, logged + logged, 6,
                "this");
            row("substring, first redirect", "bad.example", bad, false, "none", once, logged, 4,
                "this");
            row("substring, other window remembered", "bad.example", bad, false, "other", once,
                logged, 4, "other");
            if (survey)
                row("substring, this window remembered", "bad.example", bad, false, "this", once,
                    {}, 4, "this", "quitting nr. 3, kill popups3", 1);
            else
                row("substring, this window remembered", "bad.example", bad, false, "this", once,
                    {bad + "<===>Page" + stamp}, 6, "none", {}, 0);
            row("letter case differs", "BAD.example", bad, false, "none", {}, {}, 0, "none");
            row("star is no wildcard", "b*d", bad, false, "none", {}, {}, 0, "none");
            row("empty pattern, empty address", "", "", false, "none", once,
                {"<===>Page , redirected to " + home + stamp}, 2, "none");
            row("empty pattern, any address", "", bad, false, "none", {}, {}, 0, "none");
            // The home page itself matches: it is sent to itself and logged, every pass.
            row("home page matches", "home.example", home, false, "none", once,
                {home + "<===>Page , redirected to " + home + stamp}, 4, "this");
        });
    }
    void rules() {
        QFETCH(bool, survey);
        QFETCH(QString, pattern);
        QFETCH(QString, address);
        QFETCH(bool, pageStays);
        QFETCH(QString, remembered);
        QFETCH(QStringList, log);
        QFETCH(QString, box);
        HijackRig r(survey, {pattern});
        r.h.state.debugMode = true;
        r.h.options.beepOn = true;
        if (pageStays)
            r.h.browser.navigateChangesAddressAfterMs = -1;
        const WindowKey w = r.addPage(address);
        const QHash<QString, qint64> handles{{"none", 0}, {"this", 1000 + w}, {"other", 7}};
        r.h.state.redirectedWindowHandle = handles[remembered];
        r.run();
        QTEST(r.h.browser.actionLog(), "actions");
        QCOMPARE(r.h.logLines(), log);
        QTEST(r.delays, "delays");
        QFETCH(QString, after);
        QCOMPARE(r.h.state.redirectedWindowHandle, handles[after]);
        QFETCH(int, beeps);
        QCOMPARE(r.h.beeper.beeps, beeps < 0 ? int(log.size()) : beeps);
        QCOMPARE(r.h.messages.texts, box.isEmpty() ? QStringList{} : QStringList{box});
        QCOMPARE(r.h.state.popupsTerminated, 0); // a redirect is not a kill
    }

    // No home page: each matching rule only waits. Nothing is tested while the log viewer is
    // open, in a folder window, or (for the periodic pass) while blocking is stopped.
    void noRedirect_data() {
        QTest::addColumn<bool>("survey");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("why");
        QTest::addColumn<int>("delays");
        forBothPasses([&](bool survey, const QString& p) {
            const auto row = [&](const char* name, const char* address, const char* why, int n) {
                QTest::newRow(qPrintable(p + name))
                    << survey << QString(address) << QString(why) << n;
            };
            row("no home, equal", "http://bad.example/", "no home", 2);
            row("no home, contains", "http://bad.example/x", "no home", 1);
            row("no home, no match", "http://fine.example/", "no home", 0);
            row("log viewer open", "http://bad.example/", "viewer", 0);
            row("folder window", "http://bad.example/", "folder", 0);
            if (!survey)
                row("blocking stopped", "http://bad.example/", "stopped", 0);
        });
    }
    void noRedirect() {
        QFETCH(bool, survey);
        QFETCH(QString, address);
        QFETCH(QString, why);
        HijackRig r(survey, {"http://bad.example/"});
        if (why == "no home")
            r.h.settings.desiredHomeUrl.clear();
        r.h.state.logViewerOpen = why == "viewer";
        r.h.state.blockingStopped = why == "stopped";
        FakeWindow page{0, address, {}, {}};
        page.html = why != "folder";
        r.h.browser.addWindow(page);
        r.run();
        if (why != "no home")
            QCOMPARE(r.h.browser.calls.value(Op::LocationUrl), 0);
        QVERIFY(r.h.browser.actions.isEmpty());
        QVERIFY(!QFile::exists(r.h.logPath()));
        QTEST(r.delays, "delays");
    }

    void laterPatternsSeeTheAddressTheWindowWasSentTo() {
        // Pattern 1 sends it home and remembers it; pattern 2 meets it on the home page and takes
        // the repeat branch. Pattern 3 never matches, pattern 4 matches only the old address.
        HijackRig r(true, {"bad.example", "home.example", "nowhere", "bad"});
        const WindowKey w = r.addPage("http://bad.example/");
        r.run();
        QCOMPARE(r.h.browser.actionLog(), (QStringList{nav(w), ref(w), nav(w), ref(w)}));
        QCOMPARE(r.h.logLines().size(), 1);
        QCOMPARE(r.delays, 4 + 4);
    }

    void windowClosedDuringItsCheck_endsTheCheckAtOnce_data() {
        QTest::addColumn<bool>("survey");
        QTest::addColumn<int>("delays");
        // The survey pass then meets the vanished window's failing reads in its popup rule too.
        QTest::newRow("survey") << true << 4 + 2 + 4;
        QTest::newRow("redirect") << false << 4 + 4;
    }
    void windowClosedDuringItsCheck_endsTheCheckAtOnce() {
        QFETCH(bool, survey);
        HijackRig r(survey, QStringList(50, QStringLiteral("bad.example")));
        const WindowKey w = r.addPage("http://bad.example/");
        const WindowKey other = r.addPage("http://bad.example/other");
        r.h.browser.onAction = [&](const FakeBrowser::Action& a) {
            if (a.window == w)
                r.h.browser.removeWindow(w);
        };
        r.run();
        // The reload fails on a window that is gone; the next window is still checked.
        QCOMPARE(r.h.browser.actionLog().first(), nav(w));
        QVERIFY(r.h.browser.actionLog().contains(nav(other)));
        QCOMPARE(r.h.logLines().size(), 2);
        QTEST(r.delays, "delays");
    }

    // A failing step is skipped; an address that cannot be read runs both rules as if matched.
    void failingSteps_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<int>("logged");
        QTest::addColumn<bool>("remembered");
        QTest::addColumn<int>("delays");
        QTest::newRow("navigate") << int(Op::Navigate) << QStringList{ref(1)} << 1 << true << 4;
        QTest::newRow("refresh") << int(Op::Refresh) << QStringList{nav(1)} << 1 << true << 4;
        QTest::newRow("document URL")
            << int(Op::DocumentUrl) << QStringList{nav(1), ref(1)} << 0 << true << 4;
        // A handle that cannot be read takes the first-redirect branch and is not remembered.
        QTest::newRow("handle") << int(Op::Handle) << QStringList{nav(1), ref(1)} << 1 << false
                                << 4;
        QTest::newRow("address, no home")
            << int(Op::LocationUrl) << QStringList{} << 0 << false << 2 * 2;
    }
    void failingSteps() {
        QFETCH(int, op);
        HijackRig r(true, {"zz", "bad.example"});
        if (Op(op) == Op::LocationUrl)
            r.h.settings.desiredHomeUrl.clear();
        const WindowKey w = r.addPage("http://bad.example/x");
        r.h.browser.fail(Op(op), w);
        r.run();
        QTEST(r.h.browser.actionLog(), "actions");
        QTEST(int(r.h.logLines().size()), "logged");
        QTEST(r.h.state.redirectedWindowHandle != 0, "remembered");
        QTEST(r.delays, "delays");
    }

    void patternListLongerThanTheCounterReaches_stopsAtItsLimit() {
        QStringList patterns;
        for (int i = 0; i < 32767 + 5; ++i)
            patterns.append(QStringLiteral("p%1/").arg(i));
        HijackRig r(true, patterns);
        r.h.settings.desiredHomeUrl.clear();
        r.h.options.popupKillSpeed = "0";
        r.addPage("http://x.example/p32770/"); // only past the limit
        r.run();
        QCOMPARE(r.delays, 0);
        r.addPage("http://x.example/p32766/"); // the last one within it
        r.run();
        QCOMPARE(r.delays, 1);
    }

    void tickWhileAPassWaits_isSkipped() {
        HijackRig r(false);
        r.addPage("http://bad.example/");
        QList<RedirectPass::Outcome> nested;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { nested << r.redirect.run(); };
        QCOMPARE(r.redirect.run(), RedirectPass::Outcome::Walked);
        QCOMPARE(nested, (QList<RedirectPass::Outcome>{RedirectPass::Outcome::AlreadyRunning,
                                                       RedirectPass::Outcome::AlreadyRunning}));
        QVERIFY(!r.redirect.running());
    }

    void givenUpCheck_stopsAtTheNextWait() {
        HijackRig r(true, {"bad.example", "worse"});
        const WindowKey w = r.addPage("http://bad.example/worse");
        bool wanted = true;
        r.h.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        KillDelay delay(r.h.clock, r.h.options, [&] { return wanted; });
        QVERIFY(!HijackCheck(r.h.context).run(w, delay, HijackCheck::Pass::Survey));
        QCOMPARE(r.h.browser.actionLog(), QStringList{nav(w)});
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackCheck, QCoreApplication)
#include "test_hijack_check.moc"
