#include "blocking/PatternIndex.h"
#include "hijack/HijackList.h"
#include "support/BlockingHarness.h"
#include "support/TestMain.h"

namespace {

const QString home = "http://home.example/";

// Both passes over ordinary browser windows (menu bar, no opener), so only the hijack check acts
// on them. Delays are counted without the one the survey pass spends before walking.
struct HijackRig : BlockingHarness {
    explicit HijackRig(bool surveyPass, QStringList patterns = {"bad.example"})
        : survey(surveyPass) {
        settings.desiredHomeUrl = home;
        settings.hijackPatterns = std::move(patterns);
    }
    WindowKey addPage(const QString& url) { return browser.addBrowser(url, "Page"); }
    void run() {
        if (survey)
            forcedPass();
        else
            redirect.run();
        delays -= int(survey);
    }
    bool survey;
};

const auto nav = [](WindowKey w) { return QStringLiteral("navigate %1 %2").arg(w).arg(home); };
const auto ref = [](WindowKey w) { return QStringLiteral("refresh %1").arg(w); };

} // namespace

class TestHijackCheck : public QObject {
    Q_OBJECT

private slots:
    // One window, one pattern, run by each pass. `setup`: "stays" (the page refuses to leave), "no
    // home", "viewer" (open), "folder" (window), "stopped" (blocking), or "fail <call>". Which page
    // redirectedPage names before the pass ("none", "this", "tab": another tab of this window),
    // and after it.
    void rules_data() {
        QTest::addColumn<bool>("survey");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("delays");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("beeps"); // -1: one for each record
        const QString bad = "http://bad.example/";
        const QStringList once{nav(1), ref(1)};
        const auto redirected = [](const QString& from) {
            return QStringList{from + "<===>Page , redirected to " + home + BlockingHarness::stamp};
        };
        const QStringList logged = redirected(bad);
        for (const bool survey : {true, false}) {
            const QString p = survey ? "survey: " : "redirect: ";
            const auto row = [&](const char* name, QString setup, QString pattern, QString address,
                                 const char* before, QStringList actions, QStringList log,
                                 int delays, const char* after, QString box = {}, int beeps = -1) {
                QTest::newRow(qPrintable(p + name))
                    << survey << setup << pattern << address << QString(before) << actions << log
                    << delays << QString(after) << box << beeps;
            };
            // The exact rule sends it home; the substring rule then meets the home page.
            row("exact", "", bad, bad, "none", once, logged, 2, "none");
            row("exact, page stays", "stays", bad, bad, "none", once + once, logged + logged, 6,
                "this");
            row("substring, first redirect", "", "bad.example", bad, "none", once, logged, 4,
                "this");
            row("substring, other tab remembered", "", "bad.example", bad, "tab", once, logged, 4,
                "tab");
            row("substring, this window remembered", "", "bad.example", bad, "this", once,
                survey ? QStringList{} : QStringList{bad + "<===>Page" + BlockingHarness::stamp},
                survey ? 4 : 6, survey ? "this" : "none",
                survey ? "quitting nr. 3, kill popups3" : "", int(survey));
            row("letter case differs", "", "BAD.example", bad, "none", {}, {}, 0, "none");
            // Sent home by the exact rule, the window then holds the pattern in other letters (the
            // pattern index passes it over, so only this row meets the substring rule's letter
            // case).
            row("exact, home holds it in other letters", "", "http://HOME.example/",
                "http://HOME.example/", "none", once, redirected("http://HOME.example/"), 2,
                "none");
            row("star is no wildcard", "", "b*d", bad, "none", {}, {}, 0, "none");
            row("empty pattern, empty address", "", "", "", "none", once, redirected(""), 2,
                "none");
            row("empty pattern, any address", "", "", bad, "none", {}, {}, 0, "none");
            // The home page itself matches: it is sent to itself and logged, every pass.
            row("home page matches", "", "home.example", home, "none", once, redirected(home), 4,
                "this");
            // No home page: each matching rule only waits.
            row("no home, equal", "no home", bad, bad, "none", {}, {}, 2, "none");
            row("no home, contains", "no home", "bad.example", bad, "none", {}, {}, 1, "none");
            row("no home, no match", "no home", "fine", bad, "none", {}, {}, 0, "none");
            // Nothing is tested while the viewer is open, in a folder window, or (for the periodic
            // pass) while blocking is stopped.
            row("log viewer open", "viewer", bad, bad, "none", {}, {}, 0, "none");
            row("folder window", "folder", bad, bad, "none", {}, {}, 0, "none");
            if (!survey)
                row("blocking stopped", "stopped", bad, bad, "none", {}, {}, 0, "none");
        }
        // A failing step is skipped; an address that cannot be read runs both rules as if matched.
        const auto failing = [&](const char* call, QStringList actions, QStringList log, int delays,
                                 const char* after, int beeps = -1) {
            QTest::newRow(call) << true << QString("fail ") + call << "bad.example" << bad << "none"
                                << actions << log << delays << QString(after) << QString() << beeps;
        };
        failing("navigate", {ref(1)}, logged, 4, "this");
        failing("refresh", {nav(1)}, logged, 4, "this");
        failing("documentUrl", once, {}, 4, "this", 1);
        failing("locationUrl", once + once, logged + redirected(home), 6, "this");
    }
    void rules() {
        QFETCH(bool, survey);
        QFETCH(QString, setup);
        QFETCH(QString, pattern);
        QFETCH(QString, address);
        QFETCH(QString, remembered);
        QFETCH(QStringList, log);
        QFETCH(QString, box);
        HijackRig r(survey, {pattern});
        r.state.debugMode = true;
        r.options.beepOn = true;
        r.browser.navigateKeepsAddress = setup == "stays";
        if (setup == "no home")
            r.settings.desiredHomeUrl.clear();
        r.state.logViewerOpen = setup == "viewer";
        r.state.blockingStopped = setup == "stopped";
        const WindowKey w = r.browser.addWindow({0, address, {}, "Page", setup != "folder"});
        if (setup.startsWith("fail "))
            r.browser.fail(setup.mid(5), w);
        const WindowKey tab =
            r.browser.addWindow({1000 + qint64(w), "http://calm.example/", {}, {}});
        const QHash<QString, std::optional<WindowKey>> pages{
            {"none", {}}, {"this", w}, {"tab", tab}};
        r.state.redirectedPage = pages[remembered];
        r.run();
        QTEST(r.browser.actionLog(), "actions");
        QCOMPARE(r.logLines(), log);
        QTEST(r.delays, "delays");
        QFETCH(QString, after);
        QCOMPARE(r.state.redirectedPage, pages[after]);
        QFETCH(int, beeps);
        QCOMPARE(r.beeper.beeps, beeps < 0 ? int(log.size()) : beeps);
        QCOMPARE(r.messages.texts, box.isEmpty() ? QStringList{} : QStringList{box});
        QCOMPARE(r.state.popupsTerminated, 0); // a redirect is not a kill
    }

    void windowClosedDuringItsCheck_endsTheCheckAtOnce() {
        for (const bool survey : {true, false}) {
            HijackRig r(survey, QStringList(50, QStringLiteral("bad.example")));
            const WindowKey w = r.addPage("http://bad.example/");
            const WindowKey other = r.addPage("http://bad.example/other");
            r.browser.onAction = [&](const FakeBrowser::Action& a) {
                if (a.window == w)
                    r.browser.removeWindow(w);
            };
            r.run();
            // The reload fails on a window that is gone; the next window is still checked.
            QCOMPARE(r.browser.actionLog().first(), nav(w));
            QVERIFY(r.browser.actionLog().contains(nav(other)));
            QCOMPARE(r.logLines().size(), 2);
            // The survey pass meets the vanished window's failing reads in its popup rule too.
            QCOMPARE(r.delays, survey ? 4 + 2 + 4 : 4 + 4);
        }
    }

    // The longest list the counter reaches, its last pattern within the limit 1 MB long: the pass
    // answers and logs, and never tests a pattern past the limit.
    void hugeLists_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("logged");
        QTest::newRow("the last one within") << "http://x/" + QString(1 << 20, 'b') << 1;
        QTest::newRow("one past the limit") << "x/p32770/" << 0;
    }
    void hugeLists() {
        QFETCH(QString, address);
        QFETCH(int, logged);
        QStringList list;
        for (int i = 0; i < 32772; ++i)
            list << (i == 32766 ? QString(1 << 20, 'b') : QString("p%1/").arg(i));
        for (const bool survey : {true, false}) {
            HijackRig r(survey, list);
            r.options.popupKillSpeed = "0";
            r.addPage(address);
            r.run();
            QCOMPARE(r.logLines().size(), logged);
        }
    }

    void tickWhileAPassWaits_isSkipped() {
        HijackRig r(false);
        r.addPage("http://bad.example/");
        QList<RedirectPass::Outcome> nested;
        r.browser.onAction = [&](const FakeBrowser::Action&) { nested << r.redirect.run(); };
        QCOMPARE(r.redirect.run(), RedirectPass::Outcome::Walked);
        QCOMPARE(nested, QList<RedirectPass::Outcome>(2, RedirectPass::Outcome::AlreadyRunning));
        QVERIFY(!r.redirect.running());
    }

    void givenUpCheck_stopsAtTheNextWait() {
        HijackRig r(true, {"bad.example", "worse"});
        const WindowKey w = r.addPage("http://bad.example/worse");
        bool wanted = true;
        r.browser.onAction = [&](const FakeBrowser::Action&) { wanted = false; };
        QCOMPARE(r.pass.run([&] { return wanted; }), SurveyPass::Outcome::GivenUp);
        QCOMPARE(r.browser.actionLog(), QStringList{nav(w)});
    }

    void firstCandidates_sharedUntilTheListChanges() {
        QStringList patterns{QStringLiteral("bad")};
        const auto first = PatternIndex::of(patterns, 10);
        QCOMPARE(PatternIndex::of(patterns, 10), first);
        patterns.append(QStringLiteral("worse"));
        const auto second = PatternIndex::of(patterns, 10);
        QVERIFY(second != first);
        QCOMPARE(second->firstCandidate(u"http://worse.example/"), 1);
        // Overlapping patterns, one inside another, a start past a hit, the limit, an empty one.
        const PatternIndex index({"abab", "ba", "b", "", "ab"}, 4);
        QCOMPARE(index.firstCandidate(u"xabab"), 0);
        QCOMPARE(index.firstCandidate(u"xabab", 1), 1);
        QCOMPARE(index.firstCandidate(u"xab", 0), 2);
        QCOMPARE(index.firstCandidate(u"ab", 3), -1);
        QCOMPARE(index.firstCandidate(u"", 0), 3);
    }

    void typedPatterns_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("usable");
        const auto row = [](const char* name, QString typed, QString shown, bool usable) {
            QTest::newRow(name) << typed << shown << usable;
        };
        row("spaces, star, capitals", "  *HiJack.Example  ", "hijack.example", true);
        row("star at the end", "bad*", "bad", true);
        row("stars in the middle and at the end", "b*a*", "b*a*", true);
        row("one star", "*", "", false);
        row("two stars", "**", "", false);
        row("only spaces", "   ", "   ", false);
        row("a tab stays", "\tbad ", "\tbad", true);
    }
    void typedPatterns() {
        QFETCH(QString, typed);
        const HijackList::Typed result = HijackList::normalise(typed);
        QTEST(result.shown, "shown");
        QTEST(result.usable, "usable");
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackCheck, QCoreApplication)
#include "test_hijack_check.moc"
