#pragma once

#include "blocking/BlockingView.h"

#include <QStringList>
#include <functional>

// The panel as blocking sees it, kept in memory: every event in order ("on", "off", "reset",
// "closed 3").
struct RecordingBlockingView : BlockingView {
    void blockingSwitched(bool on) override {
        record(on ? QStringLiteral("on") : QStringLiteral("off"));
    }
    void countReset() override {
        count = 0;
        record(QStringLiteral("reset"));
    }
    void windowsClosed(int n) override {
        count = n;
        record(QStringLiteral("closed ") + QString::number(n));
    }

    QStringList events;
    int count = 0;
    // Runs after every event (a test reacts inside a running cycle this way).
    std::function<void(const QString&)> onEvent;

private:
    void record(const QString& event) {
        events.append(event);
        if (onEvent)
            onEvent(event);
    }
};
