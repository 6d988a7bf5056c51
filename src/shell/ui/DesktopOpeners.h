#pragma once

#include "platform/WebPageOpener.h"

#include <QString>

// The desktop's default browser, for when no browser is guarded. It shows the address (or, with
// none, the start page) in one window: opening the start page first would only leave the user an
// extra window there.
class DesktopPageOpener : public WebPageOpener {
public:
    void openPage(const QString& startPage, const QString& address, Done done) override;
};

// Opens a file in the program the desktop associates with it, started in `workingFolder` where the
// desktop lets us choose (xdg-open); otherwise through Qt's own desktop services.
bool openFileWithDesktop(const QString& path, const QString& workingFolder);
