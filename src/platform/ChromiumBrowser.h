#pragma once

#include "platform/BrowserWindows.h"
#include "platform/WebPageOpener.h"
#include "platform/devtools/BrowserConnector.h"

#include <QHash>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <map>

class DevToolsClient;
struct DevToolsReply;

// The browser windows of a Chromium-family browser (Chromium, Chrome, Edge, Brave), reached
// through its DevTools protocol, and the new windows Pagewarden opens in it.
//
// A live mirror answers every read at once from memory: it is fed by the browser's events and
// never waits on the connection. Commands are sent without waiting for their reply. The
// BrowserConnector underneath finds the browser (an endpoint on a loopback address, or a browser
// we launch over a pipe), and reconnects or relaunches it with back-off when it dies or hangs;
// the mirror empties when the browser goes and fills again when it is back.
//
// How each operation maps onto the protocol:
//
//  count, enumerate  The page targets ("page" type, no prerender subtype) that have entered the
//                    mirror, in the order they entered it. Targets come from
//                    Target.setDiscoverTargets (targetCreated / InfoChanged / Destroyed) and the
//                    browser-wide Target.setAutoAttach{autoAttach, waitForDebuggerOnStart,
//                    flatten}. A page enters only once the facts fixed at its creation are read:
//                    its opener and menu bar (below) and its window id. countChanged is emitted
//                    the moment a page enters or leaves.
//  WindowKey         Our own serial number, given when a target is first seen; never reused, also
//                    across reconnects (a rediscovered page gets a new key).
//  isHtmlDocument    The main frame holds a committed document (Page.frameNavigated, or the
//                    reading at attach time) whose MIME type is text/html or
//                    application/xhtml+xml, and the renderer has not crashed. A new window's
//                    initial about:blank is an HTML document, so a popup can be judged before its
//                    real address has loaded; text, images, PDFs and crashed pages give false.
//  handle            Browser.getWindowForTarget's windowId: the tabs of one window share it, every
//                    popup window has its own. Window ids restart at 1 in a new browser process,
//                    so a browser that is not the first one seen in this run (told apart by the
//                    browser target's id) has its ids offset by generation * 2^32; handles of one
//                    browser process never change meaning, those of two never collide.
//  locationUrl       targetInfo.url, kept current by Target.targetInfoChanged.
//  menuBar           Decided when the window is created, as the browser does: every new page is
//                    held on its initial about:blank by waitForDebuggerOnStart, where
//                    window.menubar.visible is exact (false only for a popup opened with window
//                    features); we read it with Runtime.evaluate, record it and always resume the
//                    page (Runtime.runIfWaitingForDebugger) - after the reply, after an error,
//                    and after a timeout. It never changes afterwards, so a popup that navigates
//                    stays a window without a menu bar. If it cannot be read, true: a window we
//                    could not judge is never taken for a popup.
//  hasOpener         window.opener !== null, read at the same moment (a noopener link gives
//                    false though the target names an opener). Pages already open when we attach
//                    are read as they are then. A new page that no script can reach
//                    (targetInfo.canAccessOpener false: a noopener link, a window the user or we
//                    opened) lives in a renderer that cannot answer while held; it has no opener,
//                    its menu bar follows the features its opener asked for (Page.windowOpen: a
//                    list without "menubar" means none; no request means a normal window), and
//                    it is resumed at once. The same request decides when a held page cannot be
//                    read in time (a hung opener).
//  visible           True for every page that belongs to a browser window, background tabs
//                    included: they report visibilityState "hidden", yet they are windows the user
//                    has and can switch to. A page the browser has no window for gives false.
//  quit              Target.closeTarget; a beforeunload dialog of a page we are closing is
//                    accepted. The page leaves the mirror when the browser reports it destroyed.
//  navigate          Page.navigate in the page's session; the navigation is pending until the
//                    main frame commits (Page.frameNavigated) or the reply says it failed or did
//                    not need a new document.
//  refresh           Page.reload; held while a navigation is pending and sent when it commits,
//                    because a reload sent right after a navigate is refused.
//  documentUrl       The committed main-frame document's address (Page.frameNavigated, and
//  documentTitle     navigatedWithinDocument); document.title read by Runtime.evaluate whenever
//                    the target's title or address changes (targetInfo.title falls back to the
//                    address when a page has no title, so it is not used for the title itself).
//
// While no browser is guarded the mirror is empty: count() is 0. Reads of an unknown or closed
// window give std::nullopt, commands give false. Every request has a timeout (a new page is held
// at most 5 s), so a hung or crashed page never stalls anything.
//
// openPage (WebPageOpener) uses Target.createTarget{url: start page, newWindow: true}, then
// Page.navigate to the address once the new page has entered the mirror; `done` gets the
// browser's own error text (net::ERR_…, "Cannot navigate to invalid URL") when that fails.
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

    // How long a new page may be held before it is resumed unread.
    void setHeldPageTimeout(int ms) { m_heldPageTimeoutMs = ms; }

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

    void openPage(const QString& startPage, const QString& address, Done done) override;

signals:
    void statusChanged(const QString& status);

private:
    struct Page {
        WindowKey key = 0;
        QString targetId;
        QString sessionId;
        bool entered = false; // in the mirror and the count
        bool factsRead = false;
        bool windowRead = false;
        std::optional<qint64> handle;
        QString url;
        QString targetTitle;
        QString documentUrl;
        QString documentTitle;
        QString mimeType;
        QString mainFrameId;
        bool hasDocument = false;
        bool crashed = false;
        bool opener = false;
        bool menuBar = true;
        bool canAccessOpener = false;         // targetInfo: a script opener can reach it
        std::optional<bool> requestedMenuBar; // from the opener's window.open features
        bool closing = false;
        int navigationSerial = 0;
        bool navigationPending = false;
        bool reloadHeld = false;
        bool titleQueryRunning = false;
        bool titleQueryAgain = false;
    };
    struct OpenRequest {
        QString address;
        Done done;
    };
    struct DeferredOpen {
        QString startPage;
        QString address;
        Done done;
    };

    void onConnected(DevToolsClient* client);
    void onDisconnected();
    void onEvent(const QString& method, const QJsonObject& params, const QString& sessionId);
    void onBrowserEvent(const QString& method, const QJsonObject& params);
    void onPageEvent(Page& page, const QString& method, const QJsonObject& params);
    void onAttached(const QJsonObject& params);
    void readCreationFacts(const QString& targetId, bool held);
    void holdsInitialDocument(Page& p);
    void readWindow(const QString& targetId);
    void maybeEnter(Page& page);
    void removePage(const QString& targetId);
    void updateInfo(Page& page, const QJsonObject& targetInfo);
    void queryDocument(const QString& targetId);
    void sendReload(const QString& targetId, bool retry);
    void navigationSettled(const QString& targetId, int serial);
    void openPending(Page& page);
    Page* find(WindowKey key);
    Page* page(const QString& targetId);
    qint64 send(const QString& method, const QJsonObject& params, const QString& sessionId,
                std::function<void(const DevToolsReply&)> callback = {}, int timeoutMs = 10000);

    BrowserConnector* m_connector;
    QPointer<DevToolsClient> m_client;
    quint64 m_connection = 0;           // bumps on every connection, so late replies are recognised
    QHash<QString, Page> m_pages;       // by targetId
    QHash<QString, QString> m_sessions; // sessionId -> targetId
    std::map<WindowKey, QString> m_entered;     // the mirror, in order of entry
    QHash<QString, OpenRequest> m_openRequests; // targetId -> address to go to
    QList<DeferredOpen> m_deferredOpens;        // waiting for the browser to start again
    struct WindowOpen {
        QStringList features;
        qint64 at = 0; // ms since the epoch
    };
    QHash<QString, QList<WindowOpen>> m_windowOpens; // opener targetId -> its recent requests
    QHash<QString, int> m_browserGenerations;        // browser target id -> generation
    qint64 m_handleOffset = 0;
    bool m_generationKnown = false;
    WindowKey m_nextKey = 1;
    int m_heldPageTimeoutMs = 5000;
};
