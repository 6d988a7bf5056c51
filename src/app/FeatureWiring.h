#pragma once

#include "update/ui/UpdateCommands.h"

#include <memory>

class DocumentOpener;
class LogViewer;
class MainWindow;

// The features that live outside the control panel, connected to its commands. The features know
// nothing of the window; this is the one place that knows both.

// "View log", the logo picture and the tray's count item open the log viewer; Help and the
// anti-hijacker's web-help picture open the manual; a log that cannot be written says so in the
// panel's status line. The viewer lives as long as the returned object.
std::unique_ptr<LogViewer> connectLogViewer(MainWindow& window, DocumentOpener& documents);

// "Check for update", the hidden start's Timer2 and the about box's version line run the update
// check. `setup` gives the addresses and versions; the window gives the rest. The commands live as
// long as the window.
UpdateCommands* connectUpdateCommands(MainWindow& window, UpdateCommands::Setup setup);
