#pragma once

#include "platform/WebPageOpener.h"

#include <QString>

// The user's own browser, through the desktop's opener (xdg-open). It shows the address (or, with
// none, the start page) in one window: opening the start page first would only leave the user an
// extra window there. The opener runs in a session of its own, so the page it opens stays when
// this program ends. `done` comes once the opener has handed the address on (it ended well), or
// failed; an opener that runs the browser itself and is still running after a while has shown the
// page by then. Without xdg-open, Qt's own desktop services open it.
class DesktopPageOpener : public WebPageOpener {
public:
    void openPage(const QString& startPage, const QString& address, Done done) override;
};

// Opens a file in the program the desktop associates with it, started in `workingFolder` where the
// desktop lets us choose (xdg-open); otherwise through Qt's own desktop services.
bool openFileWithDesktop(const QString& path, const QString& workingFolder);
