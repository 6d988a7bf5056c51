#pragma once

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <QTime>

// Where every wait and every time of day comes from. A test runs the clock faster with a scale
// factor: every wait and every timer interval is multiplied by it, so a 5-second start-up wait
// takes 50 ms at 0.01 while the order of events stays the same.
class Clock {
public:
    virtual ~Clock() = default;

    // Seconds on a clock that never jumps (not the wall clock), in the program's own time: with a
    // scale of 0.01 it runs a hundred times faster than real time. Waits measure with this one so
    // that midnight and clock changes cannot stretch or cut them.
    virtual double now() const = 0;

    // Time of day in seconds since midnight, in the program's own time.
    virtual double secondsSinceMidnight() const = 0;

    // Today's date in the user's short date format with a four-digit year, and the time of day in
    // the long time format without a time-zone name (see dateText and timeText), both from one
    // reading of the clock: a record written at midnight never pairs one day's date with the next
    // day's time.
    struct DateAndTime {
        QString date;
        QString time;
    };
    virtual DateAndTime dateAndTime() const = 0;
    QString shortDate() const { return dateAndTime().date; }

    // The factor applied to every wait and timer interval (1 in normal use).
    virtual double scale() const = 0;

    // A timer interval of `ms` program milliseconds in real milliseconds. 0 stays 0 (a timer with
    // interval 0 never fires); anything else is at least 1.
    int timerInterval(int ms) const;
};

// The system clock, optionally running faster or slower by a scale factor.
class SystemClock : public Clock {
public:
    explicit SystemClock(double scale = 1.0);

    double now() const override;
    double secondsSinceMidnight() const override;
    DateAndTime dateAndTime() const override;
    double scale() const override { return m_scale; }

protected:
    // The local date and time now; every date and time text is made from one such reading.
    virtual QDateTime wallTime() const;

private:
    double m_scale;
    QElapsedTimer m_elapsed;
    double m_startOfDay; // seconds since midnight when the clock was made
};

// The date and time texts of the log and of the stored last-used date. The user's own short date,
// but with the year in four digits, so that a log kept over the years sorts and reads without
// doubt; the long time without the zone, which only repeats the same word on every line.
QString dateText(const QLocale& locale, QDate date);
QString timeText(const QLocale& locale, QTime time);
