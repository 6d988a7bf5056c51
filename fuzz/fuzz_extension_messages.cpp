// What a browser's extension sends is outside input: random, damaged and reordered messages fed
// to the mirror of its browser never crash it, every window it counts answers every read, and a
// window it was told to close never comes back.
//
// One message a line, as the extension writes them; the same bytes are also cut into frames by
// the codec, as the program's server would read them off the socket.
#include "FuzzInput.h"
#include "platform/connector/ExtensionBrowser.h"
#include "wire/FrameCodec.h"

#include <QCoreApplication>
#include <QSet>

namespace {

void requireConsistent(ExtensionBrowser& browser, const QSet<WindowKey>& closed) {
    const QList<WindowKey> keys = browser.enumerate();
    FUZZ_REQUIRE(browser.count() == keys.size());
    for (WindowKey key : keys) {
        FUZZ_REQUIRE(!closed.contains(key));
        FUZZ_REQUIRE(browser.handle(key) && browser.menuBar(key) && browser.hasOpener(key));
        FUZZ_REQUIRE(browser.locationUrl(key) && browser.isHtmlDocument(key));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_extension_messages";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ExtensionBrowser browser;
    browser.setOpenerTimeout(0);
    browser.setTitleTimeout(0);
    QSet<WindowKey> closed;

    Wire::FrameDecoder decoder;
    decoder.feed(QByteArrayView(input).first(input.size() / 2));
    decoder.feed(QByteArrayView(input).sliced(input.size() / 2));
    for (const QByteArray& frame : decoder.takeFrames())
        browser.receive(frame);

    int line = 0;
    for (const QByteArray& message : input.split('\n')) {
        browser.receive(message);
        requireConsistent(browser, closed);
        // Now and then blocking acts on what is there, as a pass would between messages.
        const QList<WindowKey> keys = browser.enumerate();
        if (++line % 3 == 0 && !keys.isEmpty()) {
            const WindowKey key = keys.at(line % keys.size());
            browser.documentTitle(key);
            browser.navigate(key, QStringLiteral("http://home.invalid/"));
            browser.refresh(key);
            if (browser.quit(key))
                closed.insert(key);
            requireConsistent(browser, closed);
        }
    }
    QCoreApplication::processEvents(); // the waits for a popup's opener end
    requireConsistent(browser, closed);
    return 0;
}
