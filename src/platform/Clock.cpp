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

QString SystemClock::shortDate() const {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString SystemClock::longTime() const {
    return QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
}
