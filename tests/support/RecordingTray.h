#pragma once

#include "platform/ui/TrayIcon.h"

#include <functional>

// The notification area as a recorder. `available` says whether the desktop has one right now;
// setAvailable() makes one appear or go away as a desktop reports it.
class RecordingTray : public TrayIcon {
    Q_OBJECT
public:
    bool isAvailable() const override { return available; }
    void add(const QIcon& icon, const QString& tip, QMenu* menu) override {
        ++adds;
        shown = true;
        hasIcon = !icon.isNull();
        lastTip = tip;
        lastMenu = menu;
        onChange("add");
    }
    void remove() override {
        shown = false;
        onChange("remove");
    }
    bool isShown() const override { return shown; }
    void setAvailable(bool now) {
        available = now;
        shown = shown && now; // the icon goes with its area
        emit availabilityChanged(now);
    }

    bool available = true, shown = false, hasIcon = false;
    int adds = 0;
    QString lastTip;
    QMenu* lastMenu = nullptr;
    std::function<void(const QString&)> onChange = [](const QString&) {};
};
