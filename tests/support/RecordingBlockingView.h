#pragma once

#include "blocking/BlockingView.h"

#include <QHash>
#include <QStringList>
#include <functional>

inline size_t qHash(BlockingControl control, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(control), seed);
}

// The main window as blocking sees it, kept in memory: captions, enabled and visible states, and
// every change in order ("caption msg1 1 Popups terminated", "enabled Timer3 1", "visible Image6
// 1").
class RecordingBlockingView : public BlockingView {
public:
    void setCaption(BlockingControl control, const QString& text) override {
        captions[control] = text;
        events.append(QStringLiteral("caption ") + name(control) + QLatin1Char(' ') + text);
    }
    QString caption(BlockingControl control) const override { return captions.value(control); }
    void setEnabled(BlockingControl control, bool on) override {
        enabled[control] = on;
        events.append(QStringLiteral("enabled ") + name(control) + (on ? " 1" : " 0"));
        if (onEnabled)
            onEnabled(control, on);
    }
    void setVisible(BlockingControl control, bool on) override {
        visible[control] = on;
        events.append(QStringLiteral("visible ") + name(control) + (on ? " 1" : " 0"));
    }

    // Events that mention `control`.
    QStringList eventsFor(BlockingControl control) const {
        QStringList out;
        const QString n = QLatin1Char(' ') + name(control) + QLatin1Char(' ');
        for (const QString& e : events) {
            if (e.contains(n))
                out.append(e);
        }
        return out;
    }

    static QString name(BlockingControl control) {
        const int index = controlIndex(control);
        return controlName(control) + (index >= 0 ? QStringLiteral("(%1)").arg(index) : QString());
    }

    QHash<BlockingControl, QString> captions;
    QHash<BlockingControl, bool> enabled;
    QHash<BlockingControl, bool> visible;
    QStringList events;
    // Runs after every enable or disable (a test arms its own timer for Timer3, for example).
    std::function<void(BlockingControl, bool)> onEnabled;
};
