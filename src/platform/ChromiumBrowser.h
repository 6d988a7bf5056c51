#pragma once

#include "platform/BrowserWindows.h"
#include "platform/WebPageOpener.h"
#include "platform/devtools/BrowserConnector.h"

#include <QString>

class ChromiumPages;
class ChromiumPageOpener;
class DevToolsClient;

// The browser windows of a Chromium-family browser (Chromium, Chrome, Edge, Brave), reached
// through its DevTools protocol, and the new windows Pagewarden opens in it.
//
// A live mirror answers every read at once from memory: it is fed by the browser's events and
// never waits on the connection. Commands are sent without waiting for their reply. The
// BrowserConnector underneath finds the browser (an endpoint on a loopback address, or a browser
// we launch over a pipe), and reconnects or relaunches it with back-off when it dies or hangs;
// the mirror empties when the browser goes and fills again when it is back.
//
// It is a facade over small parts: ChromiumPages (the mirror and the events that feed it),
// PopupFacts (opener and menu bar, fixed when a window is created), PageNavigation (navigate and
// reload) and ChromiumPageOpener (new windows for addresses).
//
// How each operation maps onto the protocol:
//
//  count, enumerate  The page targets ("page" type, no prerender subtype) that have entered the
//                    mirror, in the order they entered it, less those we are closing. A page
//                    enters once its opener, menu bar and window id are known.
//  WindowKey         Our own serial number, given when a target is first seen; never reused, also
//                    across reconnects (a rediscovered page gets a new key).
//  isHtmlDocument    The main frame holds a document whose MIME type is text/html or
//                    application/xhtml+xml, and the renderer has not crashed. A new window's
//                    initial about:blank counts, so a popup is judged before its page has loaded.
//  handle            Browser.getWindowForTarget's windowId: the tabs of one window share it, every
//                    popup window has its own; unique across browser restarts.
//  locationUrl,      The address the window was opened for or is loading: the opener's
//  documentUrl       Page.windowOpen, the page's requested, started or committed navigation, or
//                    targetInfo.url, whichever came last; never the initial about:blank that
//                    every new window shows first, unless it was opened for no address. Matching
//                    and the log see the same address.
//  documentTitle     document.title, read from the page when asked (waiting briefly; the last
//                    reading if the page does not answer), and empty while the document on show
//                    is not the one at that address (a window still loading what it was opened
//                    for has no title yet).
//  menuBar,          Fixed when the window is created (PopupFacts): a window we could not judge
//  hasOpener         is never taken for a popup.
//  openerUrl         The address of the page targetInfo.openerId names, while it is a page we
//                    know (entered or not).
//  visible           True for every page that belongs to a browser window, background tabs
//                    included. A page the browser has no window for gives false.
//  quit              Target.closeTarget; a beforeunload dialog of a page we are closing is
//                    accepted. The page leaves the mirror at once (and comes back if the close
//                    fails), so no pass judges it twice.
//  navigate, refresh Page.navigate and Page.reload (PageNavigation).
//
// While no browser is guarded the mirror is empty: count() is 0. Reads of an unknown or closed
// window give std::nullopt, commands give false. Every request has a timeout, so a hung or
// crashed page never stalls anything.
//
// The program makes one for the whole run:
//
//   ChromiumBrowser browser(BrowserConnectionOptions::fromSettings(settings,
//                                                                  Paths::browserProfileFolder()));
//   QObject::connect(&browser, &ChromiumBrowser::statusChanged, window, &showStatus);
//   browser.start();
//   GuardedPageOpener opener(browser, [&browser] { return browser.canOpenPages(); }, &desktop);
//
// A browser we launched talks to us over a pipe and ends when the pipe closes, that is when this
// object goes or the program ends in any way; an attached browser is left running.
class ChromiumBrowser : public BrowserWindows, public WebPageOpener {
    Q_OBJECT
public:
    explicit ChromiumBrowser(BrowserConnectionOptions options, QObject* parent = nullptr);
    ~ChromiumBrowser() override;

    // Starts finding the browser; windows appear as it answers.
    void start();

    // One line saying which browser is guarded, or why none is.
    QString status() const;
    // True while a browser is connected.
    bool isGuarding() const;
    // True when openPage can open a window in the guarded browser: one is connected, or the one
    // we launched was closed and openPage will start it again.
    bool canOpenPages() const;
    BrowserConnector& connector() { return *m_connector; }
    ChromiumPages& pages() { return *m_pages; }

    // How long a new page may be held before it is resumed unread.
    void setHeldPageTimeout(int ms);

    std::optional<int> count() override;
    QList<WindowKey> enumerate() override;
    std::optional<bool> isHtmlDocument(WindowKey window) override;
    std::optional<qint64> handle(WindowKey window) override;
    std::optional<QString> locationUrl(WindowKey window) override;
    std::optional<bool> menuBar(WindowKey window) override;
    std::optional<bool> visible(WindowKey window) override;
    bool quit(WindowKey window) override;
    bool navigate(WindowKey window, const QString& address) override;
    bool refresh(WindowKey window) override;
    std::optional<QString> documentUrl(WindowKey window) override;
    std::optional<QString> documentTitle(WindowKey window) override;
    std::optional<bool> hasOpener(WindowKey window) override;
    std::optional<QString> openerUrl(WindowKey window) override;

    void openPage(const QString& startPage, const QString& address, Done done) override;

signals:
    void statusChanged(const QString& status);
    // A window openPage opened has entered the mirror, before the count changes for it: it is
    // ours, and "Kill new browsers" must spare it.
    void ownWindowOpened(qint64 handle);

private:
    void onConnected(DevToolsClient* client);
    void onDisconnected();

    BrowserConnector* m_connector;
    ChromiumPages* m_pages;
    ChromiumPageOpener* m_opener;
};
