#pragma once

// The busy (hourglass) pointer over the whole screen while the program starts or hides itself.
class BusyPointer {
public:
    virtual ~BusyPointer() = default;
    virtual void setBusy() = 0;
    virtual void setDefault() = 0;
};

// Uses the application's override cursor; setting busy twice needs only one setDefault.
class QtBusyPointer : public BusyPointer {
public:
    void setBusy() override;
    void setDefault() override;

private:
    bool m_busy = false;
};
