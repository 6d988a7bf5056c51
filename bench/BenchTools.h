#pragma once

// Small helpers the benchmarks share.
#include <QDeadlineTimer>
#include <QList>
#include <QTest>
#include <algorithm>
#include <functional>

namespace Bench {

// The value at quantile `q` (0 to 1) of values sorted in rising order, by nearest rank.
inline double quantile(const QList<double>& sorted, double q) {
    const qsizetype i = std::min<qsizetype>(sorted.size() - 1,
                                            static_cast<qsizetype>(q * (sorted.size() - 1) + 0.5));
    return sorted.at(i);
}

// Runs the event loop until `condition` holds or `ms` have passed.
inline bool waitFor(const std::function<bool()>& condition, int ms, int stepMs = 10) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(stepMs);
    }
    return true;
}

} // namespace Bench
