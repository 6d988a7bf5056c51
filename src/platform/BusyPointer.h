#pragma once

// The busy (hourglass) pointer over the whole screen while the program starts or hides itself.
class BusyPointer {
public:
    virtual ~BusyPointer() = default;
    virtual void setBusy() = 0;
    virtual void setDefault() = 0;
};
