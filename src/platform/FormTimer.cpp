#include "platform/FormTimer.h"

#include "platform/Clock.h"

FormTimer::FormTimer(const QString& name, int intervalMs, bool enabled, const Clock& clock,
                     QObject* parent)
    : QObject(parent), m_clock(clock), m_interval(intervalMs), m_enabled(enabled) {
    setObjectName(name);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FormTimer::tick);
    restart();
}

void FormTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void FormTimer::setInterval(int ms) {
    m_interval = ms;
    restart();
}

void FormTimer::restart() {
    if (m_enabled && m_interval > 0)
        m_timer.start(m_clock.timerInterval(m_interval));
    else
        m_timer.stop();
}
