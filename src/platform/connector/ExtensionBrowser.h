#pragma once

#include "platform/BrowserWindows.h"
#include "platform/connector/ExtensionMessages.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <map>

class QEventLoop;

// The windows of one browser whose Pagewarden extension is connected: a live mirror fed by the
// extension's messages, answering every read from memory. It holds no rules: it mirrors what the
// browser says and carries out what blocking decides, by sending a command back.
//
// How each operation maps onto the extension's browser:
//
//  count, enumerate  The tabs that have entered the mirror, less those we are closing. A tab
//                    enters once its window's type is known and, in a popup window (or a new
//                    window Firefox told of after its tab), once its opener is known (Chromium
//                    names the opener tab at once; Firefox only by the navigation target that
//                    follows, with the address), or a short wait after the window has passed. Tabs
//                    of a snapshot enter at once: they were there before us.
//  WindowKey         Our own serial number for a tab, never reused.
//  handle            The browser's window id: tabs of one window share it, a popup has its own.
//  menuBar           False exactly for tabs of a window of type popup.
//  hasOpener         The tab names an opener tab, or a navigation target named its source tab.
//  openerUrl         The address that opener tab shows, while it is open.
//  locationUrl,      The address the tab was opened for until it reports one of its own; never
//  documentUrl       the initial about:blank while an address is known.
//  documentTitle     The tab's title, once it belongs to the address on show; a tab just opened
//                    has none yet, so the read waits briefly for the title to arrive.
//  isHtmlDocument,   True for every tab in the mirror: the extension sees only browser tabs, and
//  visible           a new tab's initial document counts, as it does for DevTools.
//  quit              Closes the tab (its window, when it is the window's only tab). The tab leaves
//                    the mirror at once and never comes back, whatever the browser answers.
//  navigate, refresh Sends navigate (http and https only) and reload. A reload asked while our
//                    navigate is under way waits until the tab has loaded its new address (or
//                    the browser refused, or 15 s passed): sent at once, it would reload the page
//                    being left.
//
// Messages come in through receive() (the server, or a test); commands go out by `outgoing`.
class ExtensionBrowser : public BrowserWindows {
    Q_OBJECT
public:
    explicit ExtensionBrowser(QObject* parent = nullptr);
    ~ExtensionBrowser() override;

    // One message from the extension, as JSON. What is not understood is ignored.
    void receive(QByteArrayView json);
    void receive(const ExtensionMessages::Message& message);

    // "Chromium 156": the browser and its major version, as its hello named them.
    QString browserName() const;
    // Asks the extension for a fresh snapshot.
    void requestSnapshot();

    // How long a popup tab may wait for its opener before it enters anyway, and how long a
    // record may wait for a new tab's title. The title wait ends as soon as the title or the end
    // of the load arrives, so its bound matters only for a page slow to load, as on a busy
    // machine, where a shorter one left records without their titles.
    void setOpenerTimeout(int ms) { m_openerTimeoutMs = ms; }
    void setTitleTimeout(int ms) { m_titleTimeoutMs = ms; }

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

signals:
    // A command for the extension, as compact JSON.
    void outgoing(const QByteArray& json);
    // A snapshot named these windows: they were open before blocking could see them come.
    void snapshotWindows(const QList<qint64>& handles);

private:
    struct Tab {
        WindowKey key = 0;
        qint64 windowId = 0;
        bool entered = false;
        bool closing = false;
        bool waited = false;  // the wait for its opener or window is over
        bool holding = false; // that wait runs
        bool opener = false;
        qint64 openerTab = 0;  // the tab that opened it, when the browser named it
        bool early = false;    // told of before its window: Firefox's order for a new window
        bool complete = false; // the page says it has loaded
        bool titleWaited = false;
        // A navigate we sent and the browser has not finished: a reload asked meanwhile is held,
        // or it would reload the page being left and lose the new address.
        qint64 navigateCommand = 0; // 0: none pending
        QString navigateFrom;
        bool navigateStarted = false; // the tab has reported an address since
        bool reloadHeld = false;
        QString openedFor; // the address it was opened for
        QString url;       // the address it reported itself
        QString title;     // the title of the document at `url`
        QString shown() const { return url.isEmpty() ? openedFor : url; }
        QString currentTitle() const;
    };

    void on(const ExtensionMessages::Hello& m);
    void on(const ExtensionMessages::Snapshot& m);
    void on(const ExtensionMessages::WindowCreated& m);
    void on(const ExtensionMessages::TabCreated& m);
    void on(const ExtensionMessages::NavTarget& m);
    void on(const ExtensionMessages::TabUpdated& m);
    void on(const ExtensionMessages::TabMoved& m);
    void on(const ExtensionMessages::TabRemoved& m);
    void on(const ExtensionMessages::WindowRemoved& m);
    void on(const ExtensionMessages::Done& m);

    Tab& learn(const ExtensionMessages::Tab& facts);
    void setOwnUrl(Tab& tab, const QString& url);
    void maybeEnter(qint64 tabId);
    void leave(Tab& tab);
    bool forget(qint64 tabId); // true when it was in the mirror
    Tab* find(WindowKey key);
    qint64 send(QJsonObject command);
    void wakeTitleWait();
    void navigationSettled(qint64 tabId, qint64 command);
    qint64 sendReload(qint64 tabId);

    QString m_browser;
    QString m_version;
    QHash<qint64, Tab> m_tabs;             // by tab id
    QHash<qint64, QString> m_windows;      // window id -> type
    std::map<WindowKey, qint64> m_entered; // the mirror, by key
    WindowKey m_nextKey = 1;
    qint64 m_nextCommand = 1;
    int m_openerTimeoutMs = 500;
    int m_titleTimeoutMs = 1000;
    QPointer<QEventLoop> m_titleWait;
};
