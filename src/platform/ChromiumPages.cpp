#include "platform/ChromiumPages.h"

#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPopupFacts.h"
#include "platform/devtools/DevToolsClient.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

const QString kPage = QStringLiteral("page");
const QString kAboutBlank = QStringLiteral("about:blank");

const QString kDocumentFacts =
    QStringLiteral("(() => { try { return [String(document.title), String(document.contentType),"
                   " String(document.URL)]; } catch (e) { return null; } })()");

bool isGuardedPage(const QJsonObject& info) {
    return info.value(QStringLiteral("type")).toString() == kPage &&
           info.value(QStringLiteral("subtype")).toString().isEmpty();
}

QJsonArray pageFilter() {
    return QJsonArray{QJsonObject{{QStringLiteral("type"), kPage}}};
}

QJsonArray evaluatedArray(const DevToolsReply& reply) {
    if (!reply.ok || reply.result.contains(QStringLiteral("exceptionDetails")))
        return {};
    return reply.result.value(QStringLiteral("result"))
        .toObject()
        .value(QStringLiteral("value"))
        .toArray();
}

bool isMainFrame(const QJsonObject& frame) {
    return !frame.contains(QStringLiteral("parentId"));
}

} // namespace

ChromiumPages::ChromiumPages(QObject* parent)
    : QObject(parent), m_facts(std::make_unique<PopupFacts>(*this)),
      m_navigation(std::make_unique<PageNavigation>(*this)) {}

ChromiumPages::~ChromiumPages() {
    if (m_client)
        m_client->disconnect(this);
}

qint64 ChromiumPages::send(const QString& method, const QJsonObject& params,
                           const QString& sessionId, ReplyCallback callback, int timeoutMs) {
    if (!m_client)
        return 0;
    if (!callback)
        return m_client->send(method, params, sessionId, this, {}, timeoutMs);
    // A reply that arrives after the connection it belongs to has gone is dropped.
    const quint64 connection = m_connection;
    return m_client->send(
        method, params, sessionId, this,
        [this, connection, cb = std::move(callback)](const DevToolsReply& reply) {
            if (connection == m_connection)
                cb(reply);
        },
        timeoutMs);
}

// --- connection ----------------------------------------------------------------------------------

void ChromiumPages::attach(DevToolsClient* client, std::function<void(const QString&)> refused) {
    detach();
    ++m_connection;
    m_client = client;
    m_generationKnown = false;
    connect(client, &DevToolsClient::eventReceived, this, &ChromiumPages::onEvent);
    // A connection that closed has no windows, whatever its owner makes of it next.
    connect(client, &DevToolsClient::closed, this, &ChromiumPages::detach);

    // Tell this browser process from earlier ones: its own target id is new on every start.
    send(QStringLiteral("Target.getTargetInfo"), {}, {}, [this](const DevToolsReply& reply) {
        const QString id = reply.result.value(QStringLiteral("targetInfo"))
                               .toObject()
                               .value(QStringLiteral("targetId"))
                               .toString();
        const QString browserId =
            reply.ok && !id.isEmpty() ? id : QStringLiteral("connection-%1").arg(m_connection);
        if (!m_browserGenerations.contains(browserId))
            m_browserGenerations.insert(browserId, static_cast<int>(m_browserGenerations.size()));
        m_handleOffset = static_cast<qint64>(m_browserGenerations.value(browserId)) << 32;
        m_generationKnown = true;
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
            if (it->handle)
                it->handle = *it->handle + m_handleOffset;
        }
        const QStringList ids = m_pages.keys();
        for (const QString& targetId : ids) {
            if (Page* p = page(targetId))
                maybeEnter(*p);
        }
    });
    send(QStringLiteral("Target.setDiscoverTargets"),
         QJsonObject{{QStringLiteral("discover"), true}, {QStringLiteral("filter"), pageFilter()}},
         {});
    send(QStringLiteral("Target.setAutoAttach"),
         QJsonObject{{QStringLiteral("autoAttach"), true},
                     {QStringLiteral("waitForDebuggerOnStart"), true},
                     {QStringLiteral("flatten"), true},
                     {QStringLiteral("filter"), pageFilter()}},
         {}, [refused = std::move(refused)](const DevToolsReply& reply) {
             if (!reply.ok) {
                 qCWarning(lcDevTools) << "the browser refused auto-attach:" << reply.error;
                 if (refused)
                     refused(reply.error);
             }
         });
}

void ChromiumPages::detach() {
    if (m_client)
        m_client->disconnect(this);
    m_client = nullptr;
    ++m_connection;
    const bool hadWindows = !m_entered.empty();
    const QStringList ids = m_pages.keys();
    m_pages.clear();
    m_sessions.clear();
    m_entered.clear();
    m_facts->clear();
    if (onRemoved) {
        for (const QString& id : ids)
            onRemoved(id);
    }
    if (hadWindows)
        emit countChanged();
}

// --- events --------------------------------------------------------------------------------------

void ChromiumPages::onEvent(const QString& method, const QJsonObject& params,
                            const QString& sessionId) {
    if (sessionId.isEmpty()) {
        onBrowserEvent(method, params);
        return;
    }
    if (Page* p = page(m_sessions.value(sessionId)))
        onPageEvent(*p, method, params);
}

ChromiumPages::Page& ChromiumPages::pageFor(const QString& targetId) {
    Page& p = m_pages[targetId];
    if (p.key == 0) {
        p.key = m_nextKey++;
        p.targetId = targetId;
    }
    return p;
}

void ChromiumPages::onBrowserEvent(const QString& method, const QJsonObject& params) {
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    if (method == QLatin1String("Target.attachedToTarget")) {
        onAttached(params);
    } else if (method == QLatin1String("Target.targetCreated")) {
        const QString targetId = info.value(QStringLiteral("targetId")).toString();
        if (isGuardedPage(info) && !targetId.isEmpty())
            updateInfo(pageFor(targetId), info);
    } else if (method == QLatin1String("Target.targetInfoChanged")) {
        if (Page* p = page(info.value(QStringLiteral("targetId")).toString()))
            updateInfo(*p, info);
    } else if (method == QLatin1String("Target.targetDestroyed")) {
        removePage(params.value(QStringLiteral("targetId")).toString());
    } else if (method == QLatin1String("Target.targetCrashed")) {
        if (Page* p = page(params.value(QStringLiteral("targetId")).toString()))
            p->crashed = true;
    } else if (method == QLatin1String("Target.detachedFromTarget")) {
        const QString sessionId = params.value(QStringLiteral("sessionId")).toString();
        const QString targetId = m_sessions.take(sessionId);
        Page* p = page(targetId);
        if (!p || p->sessionId != sessionId)
            return;
        p->sessionId.clear();
        // Someone else ended our session while the page lives on: attach again, so that its
        // navigations keep reaching us. If the page is on its way out this simply fails.
        if (!p->closing)
            reattach(targetId);
    }
}

void ChromiumPages::reattach(const QString& targetId) {
    send(QStringLiteral("Target.attachToTarget"),
         QJsonObject{{QStringLiteral("targetId"), targetId}, {QStringLiteral("flatten"), true}}, {},
         [this, targetId](const DevToolsReply& reply) {
             const QString session = reply.result.value(QStringLiteral("sessionId")).toString();
             Page* again = page(targetId);
             if (!reply.ok || !again || session.isEmpty())
                 return;
             again->sessionId = session;
             m_sessions.insert(session, targetId);
             send(QStringLiteral("Page.enable"), {}, session);
             queryDocument(targetId);
         });
}

void ChromiumPages::onAttached(const QJsonObject& params) {
    const QString sessionId = params.value(QStringLiteral("sessionId")).toString();
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    const bool waiting = params.value(QStringLiteral("waitingForDebugger")).toBool();
    if (sessionId.isEmpty())
        return;
    if (!isGuardedPage(info)) {
        // Not ours to watch (a prerendered page, say): let it run and leave it.
        if (waiting)
            send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
        send(QStringLiteral("Target.detachFromTarget"),
             QJsonObject{{QStringLiteral("sessionId"), sessionId}}, {});
        return;
    }
    const QString targetId = info.value(QStringLiteral("targetId")).toString();
    Page& p = pageFor(targetId);
    p.sessionId = sessionId;
    m_sessions.insert(sessionId, targetId);
    updateInfo(p, info);
    send(QStringLiteral("Page.enable"), {}, sessionId);
    m_facts->onAttached(p, info, waiting);
    if (Page* q = page(targetId); q && !q->windowRead)
        readWindow(targetId);
}

void ChromiumPages::readWindow(const QString& targetId) {
    send(QStringLiteral("Browser.getWindowForTarget"),
         QJsonObject{{QStringLiteral("targetId"), targetId}}, {},
         [this, targetId](const DevToolsReply& reply) {
             Page* p = page(targetId);
             if (!p)
                 return;
             const QJsonValue id = reply.result.value(QStringLiteral("windowId"));
             const bool first = !p->windowRead;
             p->windowRead = true;
             if (reply.ok && id.isDouble())
                 p->handle = static_cast<qint64>(id.toDouble()) + m_handleOffset;
             else if (first)
                 p->handle.reset();
             maybeEnter(*p);
         });
}

void ChromiumPages::maybeEnter(Page& p) {
    if (p.entered || p.closing || !p.factsRead || !p.windowRead || !m_generationKnown ||
        p.targetId.isEmpty() || (mayEnter && !mayEnter(p)))
        return;
    p.entered = true;
    m_entered.emplace(p.key, p.targetId);
    const QString targetId = p.targetId;
    if (onEntered)
        onEntered(p);
    if (page(targetId))
        emit countChanged();
}

void ChromiumPages::leave(Page& p) {
    if (!p.entered)
        return;
    p.entered = false;
    m_entered.erase(p.key);
    emit countChanged();
}

void ChromiumPages::removePage(const QString& targetId) {
    m_facts->forget(targetId);
    auto it = m_pages.find(targetId);
    if (it == m_pages.end())
        return;
    const bool wasEntered = it->entered;
    m_entered.erase(it->key);
    if (!it->sessionId.isEmpty())
        m_sessions.remove(it->sessionId);
    m_pages.erase(it);
    if (onRemoved)
        onRemoved(targetId);
    if (wasEntered)
        emit countChanged();
}

void ChromiumPages::updateInfo(Page& p, const QJsonObject& info) {
    const QString url = info.value(QStringLiteral("url")).toString();
    const QString title = info.value(QStringLiteral("title")).toString();
    const bool changed = url != p.url || title != p.targetTitle;
    p.url = url;
    p.targetTitle = title;
    if (info.contains(QStringLiteral("canAccessOpener")))
        p.canAccessOpener = info.value(QStringLiteral("canAccessOpener")).toBool();
    if (info.contains(QStringLiteral("openerId")))
        p.openerId = info.value(QStringLiteral("openerId")).toString();
    if (url != kAboutBlank)
        p.setAddress(url);
    if (changed && p.factsRead && !p.sessionId.isEmpty())
        queryDocument(p.targetId);
}

void ChromiumPages::onPageEvent(Page& p, const QString& method, const QJsonObject& params) {
    if (method == QLatin1String("Page.windowOpen")) {
        m_facts->noteWindowOpen(p.targetId, params);
    } else if (method == QLatin1String("Page.frameRequestedNavigation") ||
               method == QLatin1String("Page.frameStartedNavigating")) {
        // The page is on its way somewhere: that is the address it stands for from now on.
        const bool ownTab =
            params.value(QStringLiteral("disposition")).toString().isEmpty() ||
            params.value(QStringLiteral("disposition")).toString() == QLatin1String("currentTab");
        if (ownTab && params.value(QStringLiteral("frameId")).toString() ==
                          (p.mainFrameId.isEmpty() ? p.targetId : p.mainFrameId))
            p.setAddress(params.value(QStringLiteral("url")).toString());
    } else if (method == QLatin1String("Page.frameNavigated")) {
        const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
        if (!isMainFrame(frame))
            return;
        const QString url = frame.value(QStringLiteral("url")).toString() +
                            frame.value(QStringLiteral("urlFragment")).toString();
        // A committed about:blank stands for itself only when the page showed something else
        // before; the initial one of a new window never hides what it was opened for.
        p.setAddress(url, p.hasDocument && p.documentUrl != kAboutBlank);
        p.mainFrameId = frame.value(QStringLiteral("id")).toString();
        p.documentUrl = url;
        p.mimeType = frame.value(QStringLiteral("mimeType")).toString();
        p.hasDocument = true;
        p.crashed = false;
        m_navigation->committed(p);
        queryDocument(p.targetId);
    } else if (method == QLatin1String("Page.navigatedWithinDocument")) {
        if (params.value(QStringLiteral("frameId")).toString() == p.mainFrameId) {
            p.documentUrl = params.value(QStringLiteral("url")).toString();
            p.setAddress(p.documentUrl, true);
        }
    } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
        // A page we are closing may try to keep itself open with a "leave this page?" question.
        if (p.closing &&
            params.value(QStringLiteral("type")).toString() == QLatin1String("beforeunload"))
            send(QStringLiteral("Page.handleJavaScriptDialog"),
                 QJsonObject{{QStringLiteral("accept"), true}}, p.sessionId);
    } else if (method == QLatin1String("Inspector.targetCrashed")) {
        p.crashed = true;
    }
}

void ChromiumPages::queryDocument(const QString& targetId) {
    Page* p = page(targetId);
    if (!p || p->sessionId.isEmpty())
        return;
    if (p->queryRunning) {
        p->queryAgain = true; // one more once this one is back, so the last change counts
        return;
    }
    p->queryRunning = true;
    p->queryAgain = false;
    const int serial = p->addressSerial;
    send(
        QStringLiteral("Runtime.evaluate"),
        QJsonObject{{QStringLiteral("expression"), kDocumentFacts},
                    {QStringLiteral("returnByValue"), true}},
        p->sessionId,
        [this, targetId, serial](const DevToolsReply& reply) {
            Page* q = page(targetId);
            if (!q)
                return;
            q->queryRunning = false;
            q->silent = reply.timedOut;
            const QJsonArray facts = evaluatedArray(reply);
            // It fills in what a page attached mid-navigation missed. A reply that an event
            // overtook describes an older document: it changes nothing, and the reading that
            // event asked for follows.
            if (facts.size() == 3 && serial == q->addressSerial) {
                q->documentTitle = facts.at(0).toString();
                if (!facts.at(1).toString().isEmpty())
                    q->mimeType = facts.at(1).toString();
                if (!facts.at(2).toString().isEmpty())
                    q->documentUrl = facts.at(2).toString();
                q->hasDocument = !q->mimeType.isEmpty();
                q->setAddress(q->documentUrl);
            }
            if (q->queryAgain)
                queryDocument(targetId);
        },
        5000);
}

// --- reads and commands --------------------------------------------------------------------------

ChromiumPages::Page* ChromiumPages::page(const QString& targetId) {
    if (targetId.isEmpty())
        return nullptr;
    auto it = m_pages.find(targetId);
    return it == m_pages.end() ? nullptr : &it.value();
}

ChromiumPages::Page* ChromiumPages::find(WindowKey key) {
    const auto it = m_entered.find(key);
    return it == m_entered.end() ? nullptr : page(it->second);
}

QList<WindowKey> ChromiumPages::keys() const {
    QList<WindowKey> keys;
    keys.reserve(static_cast<qsizetype>(m_entered.size()));
    for (const auto& entry : m_entered)
        keys.append(entry.first);
    return keys;
}

QString ChromiumPages::readTitle(WindowKey key) {
    Page* p = find(key);
    if (!p)
        return {};
    const QString targetId = p->targetId;
    // A page that let the last reading time out (a script that never returns, a frozen browser)
    // is not waited for again until it answers something.
    if (!p->sessionId.isEmpty() && m_client && !p->silent) {
        // The title a page has by the moment of the record: scripts change it without telling.
        struct Reading {
            bool answered = false;
            QJsonArray facts;
        };
        auto reading = std::make_shared<Reading>();
        QEventLoop loop;
        QTimer::singleShot(m_titleTimeoutMs + 50, &loop, &QEventLoop::quit);
        send(
            QStringLiteral("Runtime.evaluate"),
            QJsonObject{{QStringLiteral("expression"), kDocumentFacts},
                        {QStringLiteral("returnByValue"), true}},
            p->sessionId,
            [this, targetId, reading,
             loop = QPointer<QEventLoop>(&loop)](const DevToolsReply& reply) {
                reading->answered = true;
                reading->facts = evaluatedArray(reply);
                if (Page* q = page(targetId))
                    q->silent = reply.timedOut;
                if (loop)
                    loop->quit();
            },
            m_titleTimeoutMs);
        if (!reading->answered)
            loop.exec();
        p = page(targetId);
        if (!p)
            return {};
        if (!reading->answered)
            p->silent = true; // the connection went meanwhile
        if (reading->facts.size() == 3) {
            p->documentTitle = reading->facts.at(0).toString();
            if (!reading->facts.at(2).toString().isEmpty())
                p->documentUrl = reading->facts.at(2).toString();
        }
    }
    // A title belongs to the document that has it: a window still on its way to its address has
    // none yet.
    return p->documentUrl == p->shownAddress() ? p->documentTitle : QString();
}

bool ChromiumPages::close(WindowKey key) {
    Page* p = find(key);
    if (!p || !m_client)
        return false;
    p->closing = true;
    const QString targetId = p->targetId;
    const qint64 id = send(QStringLiteral("Target.closeTarget"),
                           QJsonObject{{QStringLiteral("targetId"), targetId}}, {},
                           [this, targetId](const DevToolsReply& reply) {
                               if (reply.ok)
                                   return;
                               qCDebug(lcDevTools) << "closing a window failed:" << reply.error;
                               // Still there: it is a window like any other again.
                               if (Page* q = page(targetId)) {
                                   q->closing = false;
                                   maybeEnter(*q);
                               }
                           });
    if (id != 0)
        leave(*p);
    else
        p->closing = false;
    return id != 0;
}
