#pragma once

#include <QList>

// The control panel's controls as data: every picture button and command button with its object
// name, caption, tool tip and place in twips. The panel is built from these tables and nowhere
// else names a place.
namespace ControlTable {

struct Picture {
    const char* name;
    const char* word; // the caption drawn on the picture
    int left, top, width, height;
    bool shown;  // visible when built
    bool accent; // drawn in the accent colour
    bool hand;   // the hand pointer over it
};

// The command buttons lie in a layer below everything the window shows; the pictures press them.
// A caption of nullptr marks a button another part makes (the options panel's two).
struct Command {
    const char* name;
    const char* caption;
    const char* tip;
};

struct Label {
    const char* name;
    const char* text;
    int left, top, width, height;
    bool wrap;
};

const QList<Picture>& pictures();
const QList<Command>& commands();
const QList<Label>& labels();

// Where the command layer begins and how its buttons are laid out, in twips.
constexpr int commandLayerTop = 7320;
constexpr int commandWidth = 1815;
constexpr int commandHeight = 360;
constexpr int commandsPerRow = 3;
// The window's size as designed; the load sets the height it is shown at.
constexpr int designWidth = 6600;
constexpr int designHeight = 8400;
constexpr int loadedHeight = 2184;
// The browser status line's usual height; a longer text makes it grow.
constexpr int statusHeight = 375;

} // namespace ControlTable
