#pragma once

#include "platform/ui/TrayIcon.h"

#include <functional>

// The notification area as a recorder. `available` says whether the desktop has one right now;
// setAvailable() makes one appear or go away as a desktop reports it, and pressRightButton()
// presses the icon's right button.
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
        if (onChange)
            onChange(QStringLiteral("add"));
    }
    void remove() override {
        shown = false;
        if (onChange)
            onChange(QStringLiteral("remove"));
    }
    bool isShown() const override { return shown; }

    // An area that goes away takes the icon with it.
    void setAvailable(bool now) {
        available = now;
        shown = shown && now;
        emit availabilityChanged(now);
    }
    void pressRightButton() { emit rightButtonDown(QPoint(100, 100)); }

    bool available = true;
    bool shown = false;
    bool hasIcon = false;
    int adds = 0;
    QString lastTip;
    QMenu* lastMenu = nullptr;
    std::function<void(const QString&)> onChange;
};
