// The stored hijack list: whatever the settings file holds, decoding never fails, drops only empty
// pieces, and what it gives back encodes to the same list again.
#include "FuzzInput.h"
#include "settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString stored = fuzzText(data, size);
    QStringList patterns;
    SettingsStore::decodePatternList(stored, patterns);
    for (const QString& pattern : patterns) {
        FUZZ_REQUIRE(!pattern.isEmpty());
        FUZZ_REQUIRE(!pattern.contains(QStringLiteral("<->")));
    }
    QStringList again;
    SettingsStore::decodePatternList(SettingsStore::encodePatternList(patterns), again);
    FUZZ_REQUIRE(again == patterns);
    return 0;
}
