#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// The fuzzer's bytes as the program would meet them: text from a file or the network, read as
// UTF-8 (invalid sequences become replacement characters, as everywhere else in the program).
inline QString fuzzText(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A failed property ends the run with the input that broke it.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition))                                                                          \
            __builtin_trap();                                                                      \
    } while (false)
