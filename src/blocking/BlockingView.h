#pragma once

#include <QString>

// The main-window controls that blocking changes. Each value stands for the control (or timer)
// whose objectName is the text controlName() gives, so the window can find it with findChild.
enum class BlockingControl {
    msg1,       // tray menu item with the kill count
    label28,    // label with the kill count; emptied by each new snapshot
    Label2,     // second label with the kill count
    stop_start, // tray menu item "Stop blocking popup ads" / "Start blocking popup ads"
    go,         // start button
    stop,       // stop button
    Command5_0, // Command5 index 0 (start)
    Command5_1, // Command5 index 1 (stop)
    Image2,     // picture buttons; while Image2 is hidden the periodic redirect is idle
    Image6,
    Image10,
    Timer3, // 1000 ms: restarts the cycle after a hide to the tray
    Timer6, // 600 ms: restores the window and presses start (tray menu's start command)
};

// "msg1", "Command5" (for both indexes), "Timer3" and so on.
QString controlName(BlockingControl control);
// The index of a control array member (Command5_0 -> 0, Command5_1 -> 1), -1 for the others.
int controlIndex(BlockingControl control);

// What blocking shows on the main window. The window implements it; the blocking code never sees a
// widget. For the timers, enabled means running: enabling Timer3 starts its one-second count, and
// its tick is to disable it again and call BlockingController::onTimer3Tick().
class BlockingView {
public:
    virtual ~BlockingView() = default;

    virtual void setCaption(BlockingControl control, const QString& text) = 0;
    virtual QString caption(BlockingControl control) const = 0;
    virtual void setEnabled(BlockingControl control, bool enabled) = 0;
    virtual void setVisible(BlockingControl control, bool visible) = 0;
};
