#pragma once

#include "settings/LiveOptions.h"

// The options panel's values as plain fields a test sets; read live like the real controls.
struct FakeLiveOptions : LiveOptions {
    bool killPopups() const override { return killPopupsOn; }
    bool killBrowsers() const override { return killBrowsersOn; }
    bool killAllBrowsers() const override { return killAllBrowsersOn; }
    bool beepOnKill() const override { return beepOn; }
    bool hideOnStartChecked() const override { return hideOnStartOn; }
    bool startUpChecked() const override { return startUpOn; }
    QString popupKillSpeedText() const override { return popupKillSpeed; }
    QString secondsBeforeStartText() const override { return secondsBeforeStart; }

    bool killPopupsOn = true;
    bool killBrowsersOn = false;
    bool killAllBrowsersOn = false;
    bool beepOn = false;
    bool hideOnStartOn = false;
    bool startUpOn = true;
    QString popupKillSpeed = QStringLiteral(".2");
    QString secondsBeforeStart = QStringLiteral("7");
};
