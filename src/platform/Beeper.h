#pragma once

// The short default system beep of a kill or a redirect.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};
