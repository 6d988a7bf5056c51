#pragma once

#include "platform/Beeper.h"
#include "platform/BusyPointer.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessExit.h"
#include "platform/StartWithLogin.h"
#include "platform/WebPageOpener.h"

#include <QMap>
#include <QStringList>
#include <functional>
#include <optional>

// Records the message boxes instead of showing them. `onShow` runs while the box would be up.
struct RecordingMessageBoxes : MessageBoxes {
    void information(const QString& title, const QString& text) override {
        titles.append(title);
        texts.append(text);
        if (onShow)
            onShow(text);
    }
    QStringList titles, texts;
    std::function<void(const QString&)> onShow;
};

// Opens nothing; keeps the addresses it was asked to open and answers with `failure` (empty:
// opened).
struct RecordingPages : WebPageOpener {
    void openPage(const QString& startPage, const QString& address, Done done) override {
        startPages << startPage;
        opened << address;
        done(failure.isEmpty(), failure);
    }
    QStringList startPages, opened;
    QString failure;
};

struct RecordingBeeper : Beeper {
    void beep() override { ++beeps; }
    int beeps = 0;
};

struct RecordingBusyPointer : BusyPointer {
    void setBusy() override {
        busy = true;
        events.append(QStringLiteral("busy"));
    }
    void setDefault() override {
        busy = false;
        events.append(QStringLiteral("default"));
    }
    bool busy = false;
    QStringList events;
};

struct RecordingProcessExit : ProcessExit {
    void exitNow(int) override {
        ++exits;
        if (onExit)
            onExit();
    }
    int exits = 0;
    std::function<void()> onExit;
};

// A start-with-login list kept in memory.
struct MemoryStartWithLogin : StartWithLogin {
    bool setEntry(const QString& name, const QString& command) override {
        entries[name] = command;
        return true;
    }
    void removeEntry(const QString& name) override { entries.remove(name); }
    bool hasEntry(const QString& name) const override { return entries.contains(name); }
    QMap<QString, QString> entries;
};

// The system clock run faster, with a date and time of day that a test can set as texts, or as
// the readings of the wall clock (which then win).
struct TestClock : SystemClock {
    explicit TestClock(double scale = 0.01) : SystemClock(scale) {}
    DateAndTime dateAndTime() const override {
        const DateAndTime t = SystemClock::dateAndTime();
        return wall ? t
                    : DateAndTime{date.isEmpty() ? t.date : date, time.isEmpty() ? t.time : time};
    }
    QDateTime wallTime() const override { return wall ? wall() : SystemClock::wallTime(); }
    std::function<QDateTime()> wall;
    double secondsSinceMidnight() const override {
        return sinceMidnight.value_or(SystemClock::secondsSinceMidnight());
    }
    QString date, time;
    std::optional<double> sinceMidnight;
};
