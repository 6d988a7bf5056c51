#include "platform/ChromiumPopupFacts.h"

#include "platform/ChromiumPages.h"
#include "platform/devtools/DevToolsClient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

// A window.open request is matched to its window only this long (ms).
constexpr qint64 kRequestLifetimeMs = 5000;

// Read in a new page while it is held on its initial about:blank. Every member is guarded: a page
// can redefine almost anything, and a throw must not cost us the other facts.
const QString kCreationFacts = QStringLiteral(
    "(() => { let m = null, o = null, t = '', c = '', u = '';"
    " try { m = window.menubar.visible; } catch (e) {}"
    " try { o = window.opener !== null && window.opener !== undefined; } catch (e) { o = true; }"
    " try { t = String(document.title); c = String(document.contentType); u = "
    "String(document.URL); }"
    " catch (e) {}"
    " return [m, o, t, c, u]; })()");

} // namespace

bool PopupFacts::menuBarRequested(const QStringList& features) {
    // A plain request (no features, or a link) makes a normal window; a list of features without
    // "menubar" (or with menubar=no) makes a popup without one.
    if (features.isEmpty())
        return true;
    for (const QString& feature : features) {
        const QString key = feature.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        const QString value = feature.section(QLatin1Char('='), 1).trimmed().toLower();
        if (key == QLatin1String("menubar"))
            return value.isEmpty() || value == QLatin1String("yes") ||
                   value == QLatin1String("1") || value == QLatin1String("true");
    }
    return false;
}

void PopupFacts::noteWindowOpen(const QString& openerId, const QJsonObject& params) {
    QList<WindowOpen>& requests = m_windowOpens[openerId];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!requests.isEmpty() &&
           (now - requests.first().at > kRequestLifetimeMs || requests.size() > 200))
        requests.removeFirst();
    QStringList features;
    for (const QJsonValue& f : params.value(QStringLiteral("windowFeatures")).toArray())
        features << f.toString();
    requests.append(WindowOpen{features, params.value(QStringLiteral("url")).toString(), now});
}

void PopupFacts::onAttached(ChromiumPage& p, const QJsonObject& info, bool waiting) {
    const QString openerId = info.value(QStringLiteral("openerId")).toString();
    p.openedByPage = p.openedByPage || !openerId.isEmpty();
    if (waiting && !openerId.isEmpty() && !p.factsRead) {
        // The opener's requests come in the order its windows are made.
        auto requests = m_windowOpens.find(openerId);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        while (requests != m_windowOpens.end() && !requests->isEmpty()) {
            const WindowOpen request = requests->takeFirst();
            if (now - request.at <= kRequestLifetimeMs) {
                p.requestedMenuBar = menuBarRequested(request.features);
                p.setAddress(request.url);
                break;
            }
        }
    }
    const QString sessionId = p.sessionId;
    if (!p.factsRead && waiting && !p.canAccessOpener) {
        // No script can reach this page, and its renderer would not answer before it runs anyway.
        // A page that opened it still counts as its opener.
        p.opener = p.openedByPage;
        p.menuBar = p.requestedMenuBar.value_or(true);
        p.factsRead = true;
        holdsInitialDocument(p);
        m_pages.send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
        m_pages.maybeEnter(p);
    } else if (!p.factsRead) {
        read(p.targetId, waiting);
    } else if (waiting) {
        m_pages.send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
    }
}

// Every new window starts with an empty about:blank HTML document, before its first address has
// loaded. A page that enters the mirror must be judged by the pass that its arrival wakes, so it
// is an HTML document from the start; what it reports as its address is what it was opened for.
void PopupFacts::holdsInitialDocument(ChromiumPage& p) {
    if (p.hasDocument)
        return;
    p.hasDocument = true;
    p.mimeType = QStringLiteral("text/html");
    p.documentUrl = QStringLiteral("about:blank");
}

void PopupFacts::read(const QString& targetId, bool held) {
    ChromiumPage* p = m_pages.page(targetId);
    if (!p)
        return;
    const QString sessionId = p->sessionId;
    const int serial = p->addressSerial;
    m_pages.send(
        QStringLiteral("Runtime.evaluate"),
        QJsonObject{{QStringLiteral("expression"), kCreationFacts},
                    {QStringLiteral("returnByValue"), true}},
        sessionId,
        [this, targetId, held, serial](const DevToolsReply& reply) {
            ChromiumPage* q = m_pages.page(targetId);
            if (!q)
                return;
            const QJsonArray facts =
                reply.ok && !reply.result.contains(QStringLiteral("exceptionDetails"))
                    ? reply.result.value(QStringLiteral("result"))
                          .toObject()
                          .value(QStringLiteral("value"))
                          .toArray()
                    : QJsonArray();
            if (facts.size() == 5) {
                const QJsonValue menu = facts.at(0);
                q->menuBar = menu.isBool() ? menu.toBool() : true;
                q->opener = facts.at(1).toBool() || q->openedByPage;
                // A page found on its way somewhere else was read before it got there.
                if (!q->hasDocument && (held || serial == q->addressSerial)) {
                    q->documentTitle = facts.at(2).toString();
                    q->mimeType = facts.at(3).toString();
                    q->documentUrl = facts.at(4).toString();
                    q->hasDocument = !q->mimeType.isEmpty();
                    q->setAddress(q->documentUrl);
                }
            } else {
                // What the browser itself knows: whether a script can reach the page, and the
                // features its opener asked for.
                qCDebug(lcDevTools) << "could not read a new page:" << reply.error;
                q->opener = q->canAccessOpener || q->openedByPage;
                q->menuBar = q->requestedMenuBar.value_or(true);
            }
            if (held)
                holdsInitialDocument(*q);
            q->factsRead = true;
            if (!held && serial != q->addressSerial)
                m_pages.queryDocument(targetId); // the document it has come to
            m_pages.maybeEnter(*q);
        },
        m_pages.heldPageTimeout());
    // The page reads its facts before it takes the next message, so it is resumed right behind
    // the question rather than after our answer: it waits no longer than the reading itself, and
    // if this program dies now the page is not left blank for good. A page found held by a client
    // that died is reported as not waiting, yet it is held all the same: resume every page.
    m_pages.send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
}
