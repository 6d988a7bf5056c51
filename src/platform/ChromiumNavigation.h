#pragma once

#include "platform/ChromiumPage.h"

#include <functional>

class ChromiumPages;
struct DevToolsReply;

// Navigate and reload in a page's session. A navigation is pending until the main frame commits
// (Page.frameNavigated) or its reply says it failed or did not need a new document; a reload asked
// for meanwhile is held and sent when it settles, because the browser refuses a reload sent right
// after a navigate.
class PageNavigation {
public:
    using Done = std::function<void(const DevToolsReply&)>;

    explicit PageNavigation(ChromiumPages& pages) : m_pages(pages) {}

    // Sends Page.navigate; `done` gets its reply. False when the page cannot be driven.
    bool navigate(ChromiumPage& page, const QString& address, Done done = {});
    bool refresh(ChromiumPage& page);
    // The page's main frame committed a document.
    void committed(ChromiumPage& page);

private:
    void settled(const QString& targetId, int serial);
    void sendReload(const QString& targetId, bool retry);

    ChromiumPages& m_pages;
};
