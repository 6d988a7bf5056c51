#pragma once

#include "platform/ui/TrayIcon.h"

#include <QStringList>
#include <functional>

// The notification area as a recorder. `available` says whether the desktop has one; a test
// presses the icon's buttons with pressRightButton() and the others.
class RecordingTray : public TrayIcon {
    Q_OBJECT
public:
    bool isAvailable() const override { return available; }
    void add(const QIcon& icon, const QString& tip, QMenu* menu) override {
        ++adds;
        shown = true;
        lastTip = tip;
        lastMenu = menu;
        hasIcon = !icon.isNull();
        events.append(QStringLiteral("add"));
        if (onChange)
            onChange(QStringLiteral("add"));
    }
    void remove() override {
        ++removes;
        shown = false;
        events.append(QStringLiteral("remove"));
        if (onChange)
            onChange(QStringLiteral("remove"));
    }
    bool isShown() const override { return shown; }

    // The right button goes down on the icon, as a platform that leaves the menu to us reports it.
    void pressRightButton() { emit rightButtonDown(QPoint(100, 100)); }

    bool available = true;
    bool shown = false;
    bool hasIcon = false;
    int adds = 0;
    int removes = 0;
    QString lastTip;
    QMenu* lastMenu = nullptr;
    QStringList events;
    std::function<void(const QString&)> onChange;
};
