#pragma once

#include "platform/ChromiumPage.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

class DevToolsClient;
class PageNavigation;
class PopupFacts;
struct DevToolsReply;

// The live mirror of the guarded browser's page targets, fed by the events of one DevTools
// connection at a time: every read the passes make is answered from it at once.
//
// A page enters the mirror (and the count) only once the facts fixed at its creation are known:
// its opener and menu bar (PopupFacts) and its window id. Window ids restart at 1 in a new
// browser process, so a browser that is not the first one seen in this run (told apart by the
// browser target's id) has its ids offset by generation * 2^32.
//
// A page we are closing leaves the mirror at once, so that no later pass judges, logs or counts
// it again while the browser takes its time to destroy it; it comes back if the close fails.
class ChromiumPages : public QObject {
    Q_OBJECT
public:
    using Page = ChromiumPage;
    using ReplyCallback = std::function<void(const DevToolsReply&)>;

    explicit ChromiumPages(QObject* parent = nullptr);
    ~ChromiumPages() override;

    // Starts mirroring the browser behind `client` (whatever was mirrored before goes first).
    // `refused` runs when the browser will not let us watch its new pages.
    void attach(DevToolsClient* client, std::function<void(const QString&)> refused = {});
    // Empties the mirror; late replies of the old connection are dropped.
    void detach();
    bool isAttached() const { return m_client != nullptr; }

    // How long a new page may be held before it is resumed unread, and how long a record may
    // wait for a page's title.
    void setHeldPageTimeout(int ms) { m_heldPageTimeoutMs = ms; }
    int heldPageTimeout() const { return m_heldPageTimeoutMs; }
    void setTitleTimeout(int ms) { m_titleTimeoutMs = ms; }

    int count() const { return static_cast<int>(m_entered.size()); }
    QList<WindowKey> keys() const;
    Page* find(WindowKey key);
    Page* page(const QString& targetId);
    // The page's title read from the page now; what the last reading said when the page does not
    // answer in time. Empty when the document on show is not the one at the reported address.
    QString readTitle(WindowKey key);
    // Sends Target.closeTarget; the page leaves the mirror at once.
    bool close(WindowKey key);

    qint64 send(const QString& method, const QJsonObject& params, const QString& sessionId,
                ReplyCallback callback = {}, int timeoutMs = 10000);
    void maybeEnter(Page& page);
    void queryDocument(const QString& targetId);
    PageNavigation& navigation() { return *m_navigation; }

    // Runs when a page enters the mirror, before countChanged, and when one leaves for good.
    // mayEnter can hold a page back for a moment; maybeEnter() lets it in later.
    std::function<bool(Page&)> mayEnter;
    std::function<void(Page&)> onEntered;
    std::function<void(const QString& targetId)> onRemoved;

signals:
    void countChanged();

private:
    void onEvent(const QString& method, const QJsonObject& params, const QString& sessionId);
    void onBrowserEvent(const QString& method, const QJsonObject& params);
    void onPageEvent(Page& page, const QString& method, const QJsonObject& params);
    void onAttached(const QJsonObject& params);
    void reattach(const QString& targetId);
    void readWindow(const QString& targetId);
    void removePage(const QString& targetId);
    void updateInfo(Page& page, const QJsonObject& targetInfo);
    Page& pageFor(const QString& targetId);
    void leave(Page& page);

    QPointer<DevToolsClient> m_client;
    quint64 m_connection = 0;           // bumps on every connection, so late replies are recognised
    QHash<QString, Page> m_pages;       // by targetId
    QHash<QString, QString> m_sessions; // sessionId -> targetId
    std::map<WindowKey, QString> m_entered;   // the mirror, in order of entry
    QHash<QString, int> m_browserGenerations; // browser target id -> generation
    qint64 m_handleOffset = 0;
    bool m_generationKnown = false;
    WindowKey m_nextKey = 1;
    int m_heldPageTimeoutMs = 5000;
    int m_titleTimeoutMs = 300;
    std::unique_ptr<PopupFacts> m_facts;
    std::unique_ptr<PageNavigation> m_navigation;
};
