// The hijack prefilter must never hide a pattern that occurs: for any list and address, the first
// candidate it names is exactly the first pattern a plain search finds.
#include "FuzzInput.h"
#include "blocking/PatternIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first line is the address, the rest the patterns, one a line.
    QStringList lines = fuzzText(data, size).split(QLatin1Char('\n'));
    const QString address = lines.takeFirst();
    const PatternIndex index(lines, lines.size());
    qsizetype expected = -1;
    for (qsizetype i = 0; i < lines.size() && expected < 0; ++i) {
        const QString& pattern = lines.at(i);
        if (pattern.isEmpty() ? address.isEmpty() : address.contains(pattern))
            expected = i;
    }
    FUZZ_REQUIRE(index.firstCandidate(address) == expected);
    return 0;
}
