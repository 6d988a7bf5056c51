#include "platform/ChromiumNavigation.h"

#include "platform/ChromiumPages.h"
#include "platform/devtools/DevToolsClient.h"

#include <QTimer>

namespace {
// A navigation whose commit never comes stops holding a reload after this long (ms).
constexpr int kCommitWaitMs = 15000;
} // namespace

bool PageNavigation::navigate(ChromiumPage& page, const QString& address, Done done) {
    if (page.sessionId.isEmpty() || !m_pages.isAttached())
        return false;
    const QString targetId = page.targetId;
    const int serial = ++page.navigationSerial;
    page.navigationPending = true;
    const qint64 id = m_pages.send(
        QStringLiteral("Page.navigate"), QJsonObject{{QStringLiteral("url"), address}},
        page.sessionId,
        [this, targetId, serial, done = std::move(done)](const DevToolsReply& reply) {
            // A failed navigation, or one that stayed in the same document, commits nothing; one
            // that started a new document settles when the main frame commits.
            if (!reply.ok || reply.result.contains(QStringLiteral("errorText")) ||
                !reply.result.contains(QStringLiteral("loaderId")))
                settled(targetId, serial);
            else
                QTimer::singleShot(kCommitWaitMs, &m_pages,
                                   [this, targetId, serial] { settled(targetId, serial); });
            if (done)
                done(reply);
        },
        kCommitWaitMs);
    if (id == 0)
        page.navigationPending = false;
    return id != 0;
}

void PageNavigation::committed(ChromiumPage& page) {
    if (page.navigationPending)
        settled(page.targetId, page.navigationSerial);
}

void PageNavigation::settled(const QString& targetId, int serial) {
    ChromiumPage* p = m_pages.page(targetId);
    if (!p || !p->navigationPending || p->navigationSerial != serial)
        return;
    p->navigationPending = false;
    if (p->reloadHeld) {
        p->reloadHeld = false;
        sendReload(targetId, true);
    }
}

bool PageNavigation::refresh(ChromiumPage& page) {
    if (page.sessionId.isEmpty() || !m_pages.isAttached())
        return false;
    if (page.navigationPending)
        page.reloadHeld = true;
    else
        sendReload(page.targetId, true);
    return true;
}

void PageNavigation::sendReload(const QString& targetId, bool retry) {
    ChromiumPage* p = m_pages.page(targetId);
    if (!p || p->sessionId.isEmpty())
        return;
    m_pages.send(QStringLiteral("Page.reload"), {}, p->sessionId,
                 [this, targetId, retry](const DevToolsReply& reply) {
                     if (reply.ok || reply.timedOut || !retry)
                         return;
                     // Refused while the page is between documents: once more a moment later.
                     QTimer::singleShot(200, &m_pages,
                                        [this, targetId] { sendReload(targetId, false); });
                 });
}
