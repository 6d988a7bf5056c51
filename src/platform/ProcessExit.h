#pragma once

#include <functional>

// Ends the process at once, without unwinding the windows or the loops that are running.
class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    virtual void exitNow(int code) = 0;
};

// Runs the registered last steps (giving back the single-instance lock) and ends the process.
class ImmediateProcessExit : public ProcessExit {
public:
    void atExit(std::function<void()> step) { m_lastStep = std::move(step); }
    [[noreturn]] void exitNow(int code) override;

private:
    std::function<void()> m_lastStep;
};
