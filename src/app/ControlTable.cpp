#include "app/ControlTable.h"

namespace ControlTable {

const QList<Picture>& pictures() {
    static const QList<Picture> table{
        // First row: start, hide, stop, exit, the log.
        {"Image1", "Start", 120, 120, 396, 216, false, true, true},
        {"Image25", "Hide", 120, 160, 468, 216, false, false, false},
        {"Image2", "Stop", 720, 160, 468, 216, false, false, true},
        {"Image3", "Exit", 1320, 160, 420, 216, true, false, false},
        {"Image4", "View log", 1920, 160, 828, 216, true, false, true},
        {"Image14", "View log", 1920, 160, 828, 216, false, false, false},
        {"Image5", "View log", 2880, 160, 828, 216, true, false, true},
        {"Image15", "Allowed sites", 2880, 160, 1080, 216, true, false, true},
        // Second row: keep visible / start, options, reset, help.
        {"Image10", "Keep visible", 120, 1320, 1080, 216, true, true, false},
        {"Image6", "Start blocking", 120, 1320, 1080, 216, false, true, true},
        {"Image7", "Options", 1476, 1320, 732, 216, true, false, true},
        {"Image8", "Reset", 2448, 1320, 504, 216, true, false, true},
        {"Image9", "Help", 3120, 1320, 468, 216, true, false, true},
        // Third row: update check, about, anti-hijacker.
        {"Image12", "Check for update", 120, 1680, 1512, 216, true, false, true},
        {"Image11", "About", 2040, 1680, 588, 216, true, false, true},
        {"Image13", "Anti-Hijacker", 2880, 1680, 1116, 216, true, false, true},
    };
    return table;
}

const QList<Command>& commands() {
    static const QList<Command> table{
        {"Command3", "Keep visible", "Keep this screen visible"},
        {"Command4", nullptr, nullptr},
        {"Command8", nullptr, nullptr},
        {"Command7", "Help", "Web help"},
        {"Command9", "Check for update", "Checks web site for program updates"},
        {"Command13", "About", "About the product"},
        {"Command14", "Anti- Hijacker", "About the product"},
        {"Command15", "Allowed sites", "Sites whose popups are never closed"},
        {"Command11", "View log", "View list of sites blocked"},
        {"exit", "Exit", ""},
        {"stop", "Stop", "Stop popup blocking"},
        {"go", "Go!", "Start popup blocking"},
        {"Command1", "Command1", ""},
        {"Command20", "Command20", ""},
        {"Command5", "Start", ""}, // index 0
        {"Command5", "Stop", ""},  // index 1
        {"cmdOK", "Close", "Close this menu"},
        {"Command2", "131", ""},
        {"Command6", "99", ""},
        {"Command12", "Command12", ""},
    };
    return table;
}

const QList<Label>& labels() {
    static const QList<Label> table{
        {"imgIcon", "", 0, 0, 192, 192, false},
        {"Picture4", "", 4320, 1620, 1800, 420, false},
        {"label28", "", 4080, 130, 2400, 560, true},
        {"Label2", "", 120, 430, 6360, 480, true},
        {"secsleft", "", 5880, 1300, 600, 280, false},
        {"Label3", "Look for this icon in lower right of your screen, right click to show program ",
         120, 915, 6360, 390, true},
        {"browserStatus", "", 3720, 1275, 2760, statusHeight, true},
    };
    return table;
}

} // namespace ControlTable
