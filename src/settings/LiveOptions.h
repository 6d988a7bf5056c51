#pragma once

#include <QString>

// The options as the panel's controls hold them at this moment. The blocking code reads them here
// every time it needs one, never a copy, so a click on a box takes effect at once.
class LiveOptions {
public:
    virtual ~LiveOptions() = default;

    // A box counts as checked only when its value is exactly 1.
    virtual bool killPopups() const = 0;
    virtual bool killBrowsers() const = 0;
    virtual bool killAllBrowsers() const = 0;
    virtual bool beepOnKill() const = 0;
    virtual bool hideOnStartChecked() const = 0;
    virtual bool startUpChecked() const = 0;

    // The combo boxes' texts exactly as shown.
    virtual QString popupKillSpeedText() const = 0;
    virtual QString secondsBeforeStartText() const = 0;
};

// A seconds text such as ".2", "1.50" or "7" as a number; anything that is not a number (or is
// negative, or absurdly large) gives `fallback`.
double secondsFromText(const QString& text, double fallback = 0.0);
