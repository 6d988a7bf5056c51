#include "blocking/OpenPages.h"

#include "platform/BrowserWindows.h"

void ListOpenPages(BrowserWindows* browser, QStringList& openPageUrls) {
    openPageUrls.clear();
    if (!browser)
        return;
    for (WindowKey window : browser->enumerate()) {
        if (browser->isHtmlDocument(window).value_or(false) != true)
            continue;
        const auto address = browser->locationUrl(window);
        if (address && !openPageUrls.contains(*address))
            openPageUrls.append(*address);
    }
}
