// Logged and vendor addresses: token decoding never leaves a token behind, and the scheme rule
// always yields an address that starts with http.
#include "FuzzInput.h"
#include "shell/UrlTokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const QString decoded = DecodeUrlTokens(text, QStringLiteral("http"));
    for (const char* token : {"_vbr_", "_sglq_", "_dblq_", "_lftp_", "_rtp_"})
        FUZZ_REQUIRE(!decoded.contains(QLatin1String(token)));
    DecodeUrlTokens(text, QString());
    FUZZ_REQUIRE(withHttpScheme(text).startsWith(QStringLiteral("http")));
    return 0;
}
