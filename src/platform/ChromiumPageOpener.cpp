#include "platform/ChromiumPageOpener.h"

#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPages.h"
#include "platform/devtools/BrowserConnector.h"
#include "platform/devtools/DevToolsClient.h"

#include <QTimer>

namespace {
// How long a caller may wait for its page: the page should be with us in milliseconds, and a
// browser we start again within seconds (ms).
constexpr int kOpenWaitMs = 15000;
constexpr int kStartWaitMs = 60000;
} // namespace

ChromiumPageOpener::ChromiumPageOpener(ChromiumPages& pages, BrowserConnector& connector,
                                       QObject* parent)
    : QObject(parent), m_pages(pages), m_connector(connector) {}

ChromiumPageOpener::~ChromiumPageOpener() {
    // Windows still being opened are dropped without a word: the program is ending, and a
    // message box now would only hold up its exit.
    m_openRequests.clear();
    m_deferredOpens.clear();
}

void ChromiumPageOpener::openPage(const QString& startPage, const QString& address,
                                  WebPageOpener::Done done) {
    if (!m_pages.isAttached() && m_connector.state() == BrowserConnector::State::Closed) {
        // The browser we launched was closed: start it again for this page.
        m_deferredOpens.append(DeferredOpen{startPage, address, std::move(done)});
        m_connector.reconnect();
        QTimer::singleShot(kStartWaitMs, this, [this] {
            const auto late = std::exchange(m_deferredOpens, {});
            for (const DeferredOpen& open : late) {
                if (open.done)
                    open.done(false, QStringLiteral("The browser did not start in time."));
            }
        });
        return;
    }
    if (!m_pages.isAttached()) {
        if (done)
            done(false, QStringLiteral("No browser is guarded just now."));
        return;
    }
    const QString first = startPage.isEmpty() ? QStringLiteral("about:blank") : startPage;
    ++m_creating;
    m_pages.send(QStringLiteral("Target.createTarget"),
                 QJsonObject{{QStringLiteral("url"), first}, {QStringLiteral("newWindow"), true}},
                 {}, [this, address, done](const DevToolsReply& reply) {
                     --m_creating;
                     const QString targetId =
                         reply.result.value(QStringLiteral("targetId")).toString();
                     if (reply.ok && !targetId.isEmpty())
                         created(targetId, address, done);
                     else if (done)
                         done(false, reply.error.isEmpty()
                                         ? QStringLiteral("The browser did not open a window.")
                                         : reply.error);
                     for (const QString& id : std::exchange(m_heldBack, {})) {
                         if (ChromiumPage* p = m_pages.page(id))
                             m_pages.maybeEnter(*p);
                     }
                 });
}

bool ChromiumPageOpener::mayEnter(ChromiumPage& page) {
    if (m_creating == 0 || page.canAccessOpener)
        return true;
    if (!m_heldBack.contains(page.targetId))
        m_heldBack.append(page.targetId);
    return false;
}

void ChromiumPageOpener::created(const QString& targetId, const QString& address,
                                 WebPageOpener::Done done) {
    m_ours.insert(targetId, true);
    ChromiumPage* p = m_pages.page(targetId);
    if (p && p->entered && p->handle)
        emit windowOpened(*p->handle); // it was quicker than the reply
    if (address.isEmpty()) {
        if (done)
            done(true, {});
        return;
    }
    m_openRequests.insert(targetId, OpenRequest{address, done});
    if (p && p->entered)
        navigateTo(*p);
    // Never leave the caller waiting.
    QTimer::singleShot(kOpenWaitMs, this, [this, targetId] {
        if (!m_openRequests.contains(targetId))
            return;
        const OpenRequest request = m_openRequests.take(targetId);
        if (request.done)
            request.done(false, QStringLiteral("The browser did not open the page in time."));
    });
}

void ChromiumPageOpener::entered(ChromiumPage& page) {
    if (m_ours.contains(page.targetId) && page.handle)
        emit windowOpened(*page.handle);
    if (m_openRequests.contains(page.targetId))
        navigateTo(page);
}

void ChromiumPageOpener::navigateTo(ChromiumPage& page) {
    const OpenRequest request = m_openRequests.take(page.targetId);
    const bool sent =
        m_pages.navigation().navigate(page, request.address, [request](const DevToolsReply& reply) {
            if (!request.done)
                return;
            const QString errorText = reply.result.value(QStringLiteral("errorText")).toString();
            if (!reply.ok)
                request.done(false, reply.error);
            else if (!errorText.isEmpty())
                request.done(false, QStringLiteral("%1 (%2)").arg(errorText, request.address));
            else
                request.done(true, {});
        });
    if (!sent && request.done)
        request.done(false, QStringLiteral("The new browser window cannot be driven."));
}

void ChromiumPageOpener::removed(const QString& targetId) {
    m_ours.remove(targetId);
    if (!m_openRequests.contains(targetId))
        return;
    const OpenRequest request = m_openRequests.take(targetId);
    if (request.done)
        request.done(false, QStringLiteral("The new browser window was closed."));
}

void ChromiumPageOpener::connected() {
    const auto deferred = std::exchange(m_deferredOpens, {});
    for (const DeferredOpen& open : deferred)
        openPage(open.startPage, open.address, open.done);
}

void ChromiumPageOpener::disconnected() {
    m_ours.clear();
    m_creating = 0;
    m_heldBack.clear();
    const auto requests = std::exchange(m_openRequests, {});
    for (const OpenRequest& request : requests) {
        if (request.done)
            request.done(false, QStringLiteral("The browser went away before the page opened."));
    }
}
