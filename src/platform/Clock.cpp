#include "platform/Clock.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

int Clock::timerInterval(int ms) const {
    if (ms <= 0)
        return 0;
    const double real = ms * scale();
    return std::max(1, static_cast<int>(std::lround(real)));
}

SystemClock::SystemClock(double scale) : m_scale(scale > 0 ? scale : 1.0) {
    m_elapsed.start();
    const QTime t = QTime::currentTime();
    m_startOfDay = t.msecsSinceStartOfDay() / 1000.0;
}

double SystemClock::now() const {
    return m_elapsed.nsecsElapsed() / 1e9 / m_scale;
}

double SystemClock::secondsSinceMidnight() const {
    if (m_scale == 1.0)
        return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    return std::fmod(m_startOfDay + now(), 86400.0);
}

QDateTime SystemClock::wallTime() const {
    return QDateTime::currentDateTime();
}

Clock::DateAndTime SystemClock::dateAndTime() const {
    const QDateTime moment = wallTime();
    const QLocale locale = QLocale::system();
    return {dateText(locale, moment.date()), timeText(locale, moment.time())};
}

namespace {

// Rewrites the runs of one pattern letter outside quoted literals: `rewrite` gets the run's length
// and returns what takes its place.
template <typename Rewrite>
QString rewriteRuns(const QString& format, QChar letter, Rewrite rewrite) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (quoted || c != letter) {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 0;
        while (i + run < format.size() && format.at(i + run) == letter)
            ++run;
        out += rewrite(run);
        i += run;
    }
    return out;
}

} // namespace

QString dateText(const QLocale& locale, QDate date) {
    const QString format = rewriteRuns(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('y'),
                                       [](qsizetype) { return QStringLiteral("yyyy"); });
    return locale.toString(date, format);
}

QString timeText(const QLocale& locale, QTime time) {
    QString format = rewriteRuns(locale.timeFormat(QLocale::LongFormat), QLatin1Char('t'),
                                 [](qsizetype) { return QString(); });
    // The zone usually stands apart ("h:mm:ss AP t", "HH:mm:ss (t)"): drop what held it apart.
    format.remove(QStringLiteral("()"));
    format = format.simplified();
    return locale.toString(time, format);
}
