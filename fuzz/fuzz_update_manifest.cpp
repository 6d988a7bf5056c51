// The version manifest comes from the network: whatever it holds, reading it never fails, a
// version is never newer than itself, and only a web address with a host is ever offered.
#include "FuzzInput.h"
#include "update/UpdateManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString response = fuzzText(data, size);
    ManifestValues values;
    const ManifestLookup lookup =
        readManifestEntry(response, QStringLiteral("Pagewarden 8.0"), values);
    if (lookup != ManifestLookup::EntryRead)
        FUZZ_REQUIRE(values.serverVersion.isEmpty() && values.updateLocation.isEmpty());
    FUZZ_REQUIRE(!textGreater(values.serverVersion, values.serverVersion));
    if (textGreater(values.serverVersion, QStringLiteral("8.0.0")))
        FUZZ_REQUIRE(!textGreater(QStringLiteral("8.0.0"), values.serverVersion));
    sameMajorRelease(values.serverVersion, 8);
    bulletinText(QStringLiteral("Pagewarden 8.0"), values, false);
    if (const auto address = webAddress(values.updateLocation)) {
        const QString scheme = address->scheme();
        FUZZ_REQUIRE(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
        FUZZ_REQUIRE(!address->host().isEmpty());
    }
    return 0;
}
