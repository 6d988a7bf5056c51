#include "hijack/HijackList.h"
#include "hijack/PatternIndex.h"
#include "support/TestMain.h"

#include <QRandomGenerator>

namespace {
// What the hijack check would find pattern by pattern.
qsizetype naiveFirstCandidate(const QStringList& patterns, qsizetype limit, const QString& address,
                              qsizetype from) {
    for (qsizetype i = from; i < std::min(limit, patterns.size()); ++i) {
        const QString& p = patterns.at(i);
        if (p.isEmpty() ? address.isEmpty() : address.contains(p))
            return i;
    }
    return -1;
}

QString randomText(QRandomGenerator& random, int maxLength) {
    // A small alphabet makes overlaps, repeats and suffix chains common; "é" and a character
    // outside the first 128 test the slow road out of the root.
    static const QString alphabet = "abA*/é\u4e2d";
    QString text;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i)
        text.append(alphabet.at(random.bounded(alphabet.size())));
    return text;
}
} // namespace

class TestPatternIndex : public QObject {
    Q_OBJECT

private slots:
    void agreesWithAPatternByPatternSearch() {
        QRandomGenerator random(20261206);
        for (int round = 0; round < 300; ++round) {
            QStringList patterns;
            const int count = random.bounded(1, 40);
            for (int i = 0; i < count; ++i)
                patterns.append(randomText(random, 5));
            const qsizetype limit = random.bounded(1, count + 3);
            const PatternIndex index(patterns, limit);
            for (int probe = 0; probe < 30; ++probe) {
                const QString address = randomText(random, 14);
                const qsizetype from = random.bounded(count + 1);
                QCOMPARE(index.firstCandidate(address, from),
                         naiveFirstCandidate(patterns, limit, address, from));
            }
        }
    }

    void sharedUntilTheListChanges() {
        QStringList patterns{QStringLiteral("bad")};
        const auto first = PatternIndex::of(patterns, 10);
        QCOMPARE(PatternIndex::of(patterns, 10), first);
        patterns.append(QStringLiteral("worse"));
        const auto second = PatternIndex::of(patterns, 10);
        QVERIFY(second != first);
        QCOMPARE(second->firstCandidate(u"http://worse.example/"), 1);
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
