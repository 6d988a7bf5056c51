#pragma once

// What blocking tells the panel, in blocking's own terms. The window maps each event onto its
// controls; blocking never learns how (or whether) it is shown.
class BlockingView {
public:
    virtual ~BlockingView() = default;

    // Blocking was switched on (a start) or off (the user stopped it).
    virtual void blockingSwitched(bool on) = 0;
    // A new cycle took its snapshot: the count of closed windows starts again at 0.
    virtual void countReset() = 0;
    // Another window was closed (or counted while the log viewer held it); `count` is the number
    // since the cycle began.
    virtual void windowsClosed(int count) = 0;
};
