// Patterns typed into the hijack editor: whatever is typed, a pattern offered for the list is
// never empty and holds no capital letter, and the list's helpers take any entries.
#include "FuzzInput.h"
#include "hijack/HijackList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString typed = fuzzText(data, size);
    const HijackList::Typed once = HijackList::normalise(typed);
    if (once.usable) {
        FUZZ_REQUIRE(!once.shown.isEmpty());
        FUZZ_REQUIRE(once.shown == once.shown.toLower());
        FUZZ_REQUIRE(HijackList::findIgnoringCase({typed, once.shown}, once.shown) >= 0);
    }
    const QStringList entries = typed.split(QLatin1Char('\n'));
    const QStringList distinct = HijackList::distinct(entries);
    FUZZ_REQUIRE(distinct.size() <= entries.size());
    FUZZ_REQUIRE(entries.isEmpty() || distinct.first() == entries.first());
    return 0;
}
