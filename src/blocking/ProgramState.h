#pragma once

#include "platform/BrowserWindows.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The flags and counters that link a nested handler with the loop it interrupts. There is one
// thread; every loop reads these afresh after each point where it lets events run.
//
// Only blocking's own classes write here. The program holds one copy, inside BlockingSession; the
// windows read it through the session and change it only through the session's commands.
struct ProgramState {
    // Set at start when "debug.txt" is in the data folder: the survey pass shows diagnostics.
    bool debugMode = false;

    bool blockingStopped = false;
    bool hidingToTray = false;
    bool forcePass = false;
    bool logViewerOpen = false;

    // Kills since the current blocking cycle began.
    qint32 popupsTerminated = 0;
    // Records written with a date and time since blocking last started.
    qint32 adsLoggedThisSession = 0;
    // The window count at the start of the previous pass; empty until the first pass.
    std::optional<int> lastWindowCount;

    // Decimal window handles of the browser windows open when the current cycle began.
    QStringList existingWindowHandles;
    // The first page sent home by the substring rule (a tab, or a window of its own), none when
    // there is none. Tabs of one window are told apart: each is a page of its own.
    std::optional<WindowKey> redirectedPage;
    // The windows a pass closed (their keys are never reused within a run): never judged again,
    // whatever the browser does after, so none is logged, closed or counted twice.
    QSet<quint64> closedWindows;
    // Addresses of the open web pages, for the hijack editor's first box.
    QStringList openPageUrls;
};
