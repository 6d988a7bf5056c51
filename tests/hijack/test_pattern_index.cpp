#include "hijack/HijackList.h"
#include "hijack/PatternIndex.h"
#include "support/TestMain.h"

class TestPatternIndex : public QObject {
    Q_OBJECT

private slots:
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

PAGEWARDEN_TEST_MAIN(TestPatternIndex, QCoreApplication)
#include "test_pattern_index.moc"
