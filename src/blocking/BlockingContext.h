#pragma once

#include <QString>

class Beeper;
class BlockedLog;
class BlockingView;
class BrowserWindows;
class BusyPointer;
class Clock;
class LiveOptions;
class MessageBoxes;
class SettingsStore;
struct ProgramState;

// Everything the passes and the blocking cycle work with. Nothing here is owned; every piece lives
// as long as the main window. The survey pass, the redirect pass and the cycle all read the same
// flags and options through it, afresh after every wait.
struct BlockingContext {
    BrowserWindows& browser;
    const LiveOptions& options;
    ProgramState& state;
    // The hijack patterns, the home page, "last_used_date" and save_state.
    SettingsStore& settings;
    BlockedLog& log;
    const Clock& clock;
    MessageBoxes& messages;
    Beeper& beeper;
    BusyPointer& pointer;
    BlockingView& view;
    // Title of the diagnostic message boxes.
    QString applicationTitle;
};
