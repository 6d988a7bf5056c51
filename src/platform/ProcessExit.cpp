#include "platform/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

void ImmediateProcessExit::exitNow(int code) {
    if (m_lastStep)
        m_lastStep();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
