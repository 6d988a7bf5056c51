#pragma once

#include "platform/WebPageOpener.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>

class ChromiumPages;
class BrowserConnector;
struct ChromiumPage;

// Opens pages in new windows of the guarded browser: Target.createTarget{url: start page,
// newWindow: true}, then Page.navigate to the address once the new page has entered the mirror;
// `done` gets the browser's own error text (net::ERR_…, "Cannot navigate to invalid URL") when
// that fails. A browser we launched and that was closed is started again for the page.
class ChromiumPageOpener : public QObject {
    Q_OBJECT
public:
    ChromiumPageOpener(ChromiumPages& pages, BrowserConnector& connector,
                       QObject* parent = nullptr);
    ~ChromiumPageOpener() override;

    void openPage(const QString& startPage, const QString& address, WebPageOpener::Done done);
    // The browser is back: pages asked for while it was closed open now.
    void connected();
    // A new window that no page opened waits while a window of ours is being opened, until we
    // know whether it is that one: ours is told before it is counted.
    bool mayEnter(ChromiumPage& page);
    // A page entered the mirror or left it for good.
    void entered(ChromiumPage& page);
    void removed(const QString& targetId);
    // The browser went away: every window still being opened fails.
    void disconnected();
    // Whether `targetId` is a window we opened in this run.
    bool isOurs(const QString& targetId) const { return m_ours.contains(targetId); }

signals:
    // A window we opened entered the mirror (before the count changes for it).
    void windowOpened(qint64 handle);

private:
    struct OpenRequest {
        QString address;
        WebPageOpener::Done done;
    };
    struct DeferredOpen {
        QString startPage;
        QString address;
        WebPageOpener::Done done;
    };
    void created(const QString& targetId, const QString& address, WebPageOpener::Done done);
    void navigateTo(ChromiumPage& page);

    ChromiumPages& m_pages;
    BrowserConnector& m_connector;
    QHash<QString, OpenRequest> m_openRequests; // targetId -> address to go to
    QList<DeferredOpen> m_deferredOpens;        // waiting for the browser to start again
    QHash<QString, bool> m_ours;                // targetIds of the windows we opened
    int m_creating = 0;                         // windows asked for and not yet answered
    QStringList m_heldBack;                     // targetIds waiting for those answers
};
