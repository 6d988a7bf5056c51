#pragma once

#include "blocking/BlockingView.h"

#include <QStringList>
#include <functional>

// The panel as blocking sees it, kept in memory: every event in order ("on", "off", "reset",
// "closed 3"). `onEvent` runs after each (a test reacts inside a running cycle this way).
struct RecordingBlockingView : BlockingView {
    void blockingSwitched(bool on) override { record(on ? "on" : "off"); }
    void countReset() override { record("reset"); }
    void windowsClosed(int n) override { record("closed " + QString::number(n)); }
    void record(const QString& event) {
        events.append(event);
        if (onEvent)
            onEvent(event);
    }
    QStringList events;
    std::function<void(const QString&)> onEvent;
};
