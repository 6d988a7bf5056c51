#pragma once

#include <QObject>
#include <QTimer>

class Clock;

// A window timer as the control panel's design has them: an interval in milliseconds and an
// enabled flag, independent of each other. A timer with interval 0 never fires, even while
// enabled; giving an enabled timer an interval starts it. Intervals run on the program's clock,
// so a test's scale factor applies to them.
class FormTimer : public QObject {
    Q_OBJECT
public:
    FormTimer(const QString& name, int intervalMs, bool enabled, const Clock& clock,
              QObject* parent);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int interval() const { return m_interval; }
    void setInterval(int ms);

signals:
    void tick();

private:
    void restart();

    const Clock& m_clock;
    QTimer m_timer;
    int m_interval;
    bool m_enabled;
};
