#include "platform/ChromiumBrowser.h"

#include "platform/devtools/DevToolsClient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcDevTools)

namespace {

const QString kPage = QStringLiteral("page");

// Read in a new page while it is held on its initial about:blank, and later for the title.
// Every member is guarded: a page can redefine almost anything, and a throw must not cost us the
// other facts.
const QString kCreationFacts = QStringLiteral(
    "(() => { let m = null, o = null, t = '', c = '', u = '';"
    " try { m = window.menubar.visible; } catch (e) {}"
    " try { o = window.opener !== null && window.opener !== undefined; } catch (e) { o = true; }"
    " try { t = String(document.title); c = String(document.contentType); u = "
    "String(document.URL); }"
    " catch (e) {}"
    " return [m, o, t, c, u]; })()");
const QString kDocumentFacts =
    QStringLiteral("(() => { try { return [String(document.title), String(document.contentType),"
                   " String(document.URL)]; } catch (e) { return null; } })()");

bool isHtmlType(const QString& mime) {
    return mime == QLatin1String("text/html") || mime == QLatin1String("application/xhtml+xml");
}

// Whether a window opened with these window.open features shows its menu bar: a plain request
// (no features, or a link) makes a normal window; a list of features without "menubar" (or with
// menubar=no) makes a popup without one.
bool menuBarRequested(const QStringList& features) {
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

bool isGuardedPage(const QJsonObject& info) {
    return info.value(QStringLiteral("type")).toString() == kPage &&
           info.value(QStringLiteral("subtype")).toString().isEmpty();
}

QJsonArray pageFilter() {
    return QJsonArray{QJsonObject{{QStringLiteral("type"), kPage}}};
}

// The value of a Runtime.evaluate reply made with returnByValue, or undefined on an exception.
QJsonValue evaluated(const DevToolsReply& reply) {
    if (!reply.ok || reply.result.contains(QStringLiteral("exceptionDetails")))
        return {};
    return reply.result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
}

} // namespace

ChromiumBrowser::ChromiumBrowser(BrowserConnectionOptions options, QObject* parent)
    : BrowserWindows(parent), m_connector(new BrowserConnector(std::move(options), this)) {
    connect(m_connector, &BrowserConnector::connected, this, &ChromiumBrowser::onConnected);
    connect(m_connector, &BrowserConnector::disconnected, this, &ChromiumBrowser::onDisconnected);
    connect(m_connector, &BrowserConnector::statusChanged, this, &ChromiumBrowser::statusChanged);
}

ChromiumBrowser::~ChromiumBrowser() {
    if (m_client)
        m_client->disconnect(this);
    m_connector->disconnect(this);
    // Windows still being opened are dropped without a word: the program is ending, and a
    // message box now would only hold up its exit.
    m_openRequests.clear();
}

void ChromiumBrowser::start() {
    m_connector->start();
}

QString ChromiumBrowser::status() const {
    return m_connector->status();
}

bool ChromiumBrowser::isGuarding() const {
    return m_client != nullptr;
}

bool ChromiumBrowser::canOpenPages() const {
    return m_client != nullptr || m_connector->state() == BrowserConnector::State::Closed;
}

qint64 ChromiumBrowser::send(const QString& method, const QJsonObject& params,
                             const QString& sessionId,
                             std::function<void(const DevToolsReply&)> callback, int timeoutMs) {
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

void ChromiumBrowser::onConnected(DevToolsClient* client) {
    onDisconnected(); // whatever was left from an earlier browser goes first
    ++m_connection;
    m_client = client;
    m_generationKnown = false;
    connect(client, &DevToolsClient::eventReceived, this, &ChromiumBrowser::onEvent);

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
         {}, [this](const DevToolsReply& reply) {
             if (!reply.ok) {
                 qCWarning(lcDevTools) << "the browser refused auto-attach:" << reply.error;
                 m_connector->dropConnection(reply.error);
             }
         });
    // Pages asked for while the browser was closed open now.
    const auto deferred = std::exchange(m_deferredOpens, {});
    for (const DeferredOpen& open : deferred)
        openPage(open.startPage, open.address, open.done);
}

void ChromiumBrowser::onDisconnected() {
    if (m_client)
        m_client->disconnect(this);
    m_client = nullptr;
    ++m_connection;
    const bool hadWindows = !m_entered.empty();
    m_pages.clear();
    m_sessions.clear();
    m_entered.clear();
    m_windowOpens.clear();
    const auto requests = std::exchange(m_openRequests, {});
    for (const OpenRequest& request : requests) {
        if (request.done)
            request.done(false, QStringLiteral("The browser went away before the page opened."));
    }
    if (hadWindows)
        emit countChanged();
}

// --- events --------------------------------------------------------------------------------------

void ChromiumBrowser::onEvent(const QString& method, const QJsonObject& params,
                              const QString& sessionId) {
    if (sessionId.isEmpty()) {
        onBrowserEvent(method, params);
        return;
    }
    const QString targetId = m_sessions.value(sessionId);
    if (Page* p = page(targetId))
        onPageEvent(*p, method, params);
}

void ChromiumBrowser::onBrowserEvent(const QString& method, const QJsonObject& params) {
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    if (method == QLatin1String("Target.attachedToTarget")) {
        onAttached(params);
    } else if (method == QLatin1String("Target.targetCreated")) {
        if (!isGuardedPage(info))
            return;
        const QString targetId = info.value(QStringLiteral("targetId")).toString();
        if (targetId.isEmpty())
            return;
        Page& p = m_pages[targetId];
        if (p.key == 0) {
            p.key = m_nextKey++;
            p.targetId = targetId;
        }
        updateInfo(p, info);
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
        if (!p->closing) {
            send(QStringLiteral("Target.attachToTarget"),
                 QJsonObject{{QStringLiteral("targetId"), targetId},
                             {QStringLiteral("flatten"), true}},
                 {}, [this, targetId](const DevToolsReply& reply) {
                     const QString session =
                         reply.result.value(QStringLiteral("sessionId")).toString();
                     Page* again = page(targetId);
                     if (!reply.ok || !again || session.isEmpty())
                         return;
                     again->sessionId = session;
                     m_sessions.insert(session, targetId);
                     send(QStringLiteral("Page.enable"), {}, session);
                     queryDocument(targetId);
                 });
        }
    }
}

void ChromiumBrowser::onAttached(const QJsonObject& params) {
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
    Page& p = m_pages[targetId];
    if (p.key == 0) {
        p.key = m_nextKey++;
        p.targetId = targetId;
    }
    p.sessionId = sessionId;
    m_sessions.insert(sessionId, targetId);
    updateInfo(p, info);
    p.canAccessOpener = info.value(QStringLiteral("canAccessOpener")).toBool();
    const QString openerId = info.value(QStringLiteral("openerId")).toString();
    if (waiting && !openerId.isEmpty() && !p.factsRead) {
        auto requests = m_windowOpens.find(openerId);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        while (requests != m_windowOpens.end() && !requests->isEmpty()) {
            const WindowOpen request = requests->takeFirst();
            if (now - request.at <= 5000) {
                p.requestedMenuBar = menuBarRequested(request.features);
                break;
            }
        }
    }
    send(QStringLiteral("Page.enable"), {}, sessionId);
    if (!p.factsRead && waiting && !p.canAccessOpener) {
        // No script can reach this page: it has no opener, and its renderer would not answer
        // before it runs anyway.
        p.opener = false;
        p.menuBar = p.requestedMenuBar.value_or(true);
        p.factsRead = true;
        holdsInitialDocument(p);
        send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
        maybeEnter(p);
    } else if (!p.factsRead) {
        readCreationFacts(targetId, waiting);
    } else if (waiting) {
        send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
    }
    if (!p.windowRead)
        readWindow(targetId);
}

// Every new window starts with an empty about:blank HTML document, before its first address has
// loaded. A page that enters the mirror must be judged by the pass that its arrival wakes, so it
// is an HTML document from the start, as a popup read while held is.
void ChromiumBrowser::holdsInitialDocument(Page& p) {
    if (p.hasDocument)
        return;
    p.hasDocument = true;
    p.mimeType = QStringLiteral("text/html");
    p.documentUrl = QStringLiteral("about:blank");
}

void ChromiumBrowser::readCreationFacts(const QString& targetId, bool held) {
    Page* p = page(targetId);
    if (!p)
        return;
    const QString sessionId = p->sessionId;
    send(
        QStringLiteral("Runtime.evaluate"),
        QJsonObject{{QStringLiteral("expression"), kCreationFacts},
                    {QStringLiteral("returnByValue"), true}},
        sessionId,
        [this, targetId, sessionId, held](const DevToolsReply& reply) {
            // Whatever the answer, the page is resumed: a held page that is never released would
            // be a window that never loads.
            send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
            Page* q = page(targetId);
            if (!q)
                return;
            const QJsonArray facts = evaluated(reply).toArray();
            if (facts.size() == 5) {
                const QJsonValue menu = facts.at(0);
                q->menuBar = menu.isBool() ? menu.toBool() : true;
                q->opener = facts.at(1).toBool();
                if (!q->hasDocument) {
                    q->documentTitle = facts.at(2).toString();
                    q->mimeType = facts.at(3).toString();
                    q->documentUrl = facts.at(4).toString();
                    q->hasDocument = !q->mimeType.isEmpty();
                }
            } else {
                // What the browser itself knows: whether a script can reach the page, and the
                // features its opener asked for.
                qCDebug(lcDevTools) << "could not read a new page:" << reply.error;
                q->opener = q->canAccessOpener;
                q->menuBar = q->requestedMenuBar.value_or(true);
                if (held)
                    holdsInitialDocument(*q);
            }
            q->factsRead = true;
            maybeEnter(*q);
        },
        m_heldPageTimeoutMs);
}

void ChromiumBrowser::readWindow(const QString& targetId) {
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

void ChromiumBrowser::maybeEnter(Page& p) {
    if (p.entered || !p.factsRead || !p.windowRead || !m_generationKnown || p.targetId.isEmpty())
        return;
    p.entered = true;
    m_entered.emplace(p.key, p.targetId);
    if (m_openRequests.contains(p.targetId))
        openPending(p);
    emit countChanged();
}

void ChromiumBrowser::removePage(const QString& targetId) {
    m_windowOpens.remove(targetId);
    auto it = m_pages.find(targetId);
    if (it == m_pages.end())
        return;
    const bool wasEntered = it->entered;
    m_entered.erase(it->key);
    if (!it->sessionId.isEmpty())
        m_sessions.remove(it->sessionId);
    m_pages.erase(it);
    if (m_openRequests.contains(targetId)) {
        const OpenRequest request = m_openRequests.take(targetId);
        if (request.done)
            request.done(false, QStringLiteral("The new browser window was closed."));
    }
    if (wasEntered)
        emit countChanged();
}

void ChromiumBrowser::updateInfo(Page& p, const QJsonObject& info) {
    const QString url = info.value(QStringLiteral("url")).toString();
    const QString title = info.value(QStringLiteral("title")).toString();
    const bool changed = url != p.url || title != p.targetTitle;
    p.url = url;
    p.targetTitle = title;
    if (changed && p.factsRead && !p.sessionId.isEmpty())
        queryDocument(p.targetId);
}

void ChromiumBrowser::onPageEvent(Page& p, const QString& method, const QJsonObject& params) {
    if (method == QLatin1String("Page.windowOpen")) {
        // Kept briefly for the window it makes, which is attached a moment later.
        QList<WindowOpen>& requests = m_windowOpens[p.targetId];
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        while (!requests.isEmpty() && (now - requests.first().at > 5000 || requests.size() > 200))
            requests.removeFirst();
        QStringList features;
        for (const QJsonValue& f : params.value(QStringLiteral("windowFeatures")).toArray())
            features << f.toString();
        requests.append(WindowOpen{features, now});
        return;
    }
    if (method == QLatin1String("Page.frameNavigated")) {
        const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
        if (frame.contains(QStringLiteral("parentId")))
            return;
        p.mainFrameId = frame.value(QStringLiteral("id")).toString();
        p.documentUrl = frame.value(QStringLiteral("url")).toString() +
                        frame.value(QStringLiteral("urlFragment")).toString();
        p.mimeType = frame.value(QStringLiteral("mimeType")).toString();
        p.hasDocument = true;
        p.crashed = false;
        if (p.navigationPending)
            navigationSettled(p.targetId, p.navigationSerial);
        queryDocument(p.targetId);
    } else if (method == QLatin1String("Page.navigatedWithinDocument")) {
        if (params.value(QStringLiteral("frameId")).toString() == p.mainFrameId)
            p.documentUrl = params.value(QStringLiteral("url")).toString();
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

void ChromiumBrowser::queryDocument(const QString& targetId) {
    Page* p = page(targetId);
    if (!p || p->sessionId.isEmpty())
        return;
    if (p->titleQueryRunning) {
        p->titleQueryAgain = true; // one more once this one is back, so the last change counts
        return;
    }
    p->titleQueryRunning = true;
    p->titleQueryAgain = false;
    send(
        QStringLiteral("Runtime.evaluate"),
        QJsonObject{{QStringLiteral("expression"), kDocumentFacts},
                    {QStringLiteral("returnByValue"), true}},
        p->sessionId,
        [this, targetId](const DevToolsReply& reply) {
            Page* q = page(targetId);
            if (!q)
                return;
            q->titleQueryRunning = false;
            const QJsonArray facts = evaluated(reply).toArray();
            if (facts.size() == 3) {
                // Read after the change that asked for it, so at least as new as what the
                // events said; it also fills in what a page attached mid-navigation missed.
                q->documentTitle = facts.at(0).toString();
                if (!facts.at(1).toString().isEmpty())
                    q->mimeType = facts.at(1).toString();
                if (!facts.at(2).toString().isEmpty())
                    q->documentUrl = facts.at(2).toString();
                q->hasDocument = !q->mimeType.isEmpty();
            }
            if (q->titleQueryAgain)
                queryDocument(targetId);
        },
        5000);
}

// --- reads ---------------------------------------------------------------------------------------

ChromiumBrowser::Page* ChromiumBrowser::page(const QString& targetId) {
    if (targetId.isEmpty())
        return nullptr;
    auto it = m_pages.find(targetId);
    return it == m_pages.end() ? nullptr : &it.value();
}

ChromiumBrowser::Page* ChromiumBrowser::find(WindowKey key) {
    const auto it = m_entered.find(key);
    return it == m_entered.end() ? nullptr : page(it->second);
}

std::optional<int> ChromiumBrowser::count() {
    return static_cast<int>(m_entered.size());
}

QList<WindowKey> ChromiumBrowser::enumerate() {
    QList<WindowKey> keys;
    keys.reserve(static_cast<qsizetype>(m_entered.size()));
    for (const auto& entry : m_entered)
        keys.append(entry.first);
    return keys;
}

std::optional<bool> ChromiumBrowser::isHtmlDocument(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->hasDocument && !p->crashed && isHtmlType(p->mimeType);
}

std::optional<qint64> ChromiumBrowser::handle(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->handle;
}

std::optional<QString> ChromiumBrowser::locationUrl(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->url;
}

std::optional<bool> ChromiumBrowser::menuBar(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->menuBar;
}

std::optional<bool> ChromiumBrowser::visible(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->handle.has_value();
}

std::optional<QString> ChromiumBrowser::documentUrl(WindowKey window) {
    const Page* p = find(window);
    if (!p || !p->hasDocument || p->crashed)
        return std::nullopt;
    return p->documentUrl;
}

std::optional<QString> ChromiumBrowser::documentTitle(WindowKey window) {
    const Page* p = find(window);
    if (!p || !p->hasDocument || p->crashed)
        return std::nullopt;
    return p->documentTitle;
}

std::optional<bool> ChromiumBrowser::hasOpener(WindowKey window) {
    const Page* p = find(window);
    if (!p)
        return std::nullopt;
    return p->opener;
}

// --- commands ------------------------------------------------------------------------------------

bool ChromiumBrowser::quit(WindowKey window) {
    Page* p = find(window);
    if (!p || !m_client)
        return false;
    p->closing = true;
    const QString targetId = p->targetId;
    return send(QStringLiteral("Target.closeTarget"),
                QJsonObject{{QStringLiteral("targetId"), targetId}}, {},
                [](const DevToolsReply& reply) {
                    if (!reply.ok)
                        qCDebug(lcDevTools) << "closing a window failed:" << reply.error;
                }) != 0;
}

bool ChromiumBrowser::navigate(WindowKey window, const QString& address) {
    Page* p = find(window);
    if (!p || p->sessionId.isEmpty() || !m_client)
        return false;
    const QString targetId = p->targetId;
    const int serial = ++p->navigationSerial;
    p->navigationPending = true;
    const qint64 id = send(
        QStringLiteral("Page.navigate"), QJsonObject{{QStringLiteral("url"), address}},
        p->sessionId,
        [this, targetId, serial](const DevToolsReply& reply) {
            // A failed navigation, or one that stayed in the same document, commits nothing; one
            // that started a new document settles when the main frame commits.
            if (!reply.ok || reply.result.contains(QStringLiteral("errorText")) ||
                !reply.result.contains(QStringLiteral("loaderId")))
                navigationSettled(targetId, serial);
            else
                QTimer::singleShot(15000, this, [this, targetId, serial] {
                    navigationSettled(targetId, serial); // the commit never came: give up holding
                });
        },
        15000);
    if (id == 0)
        p->navigationPending = false;
    return id != 0;
}

void ChromiumBrowser::navigationSettled(const QString& targetId, int serial) {
    Page* p = page(targetId);
    if (!p || !p->navigationPending || p->navigationSerial != serial)
        return;
    p->navigationPending = false;
    if (p->reloadHeld) {
        p->reloadHeld = false;
        sendReload(targetId, true);
    }
}

bool ChromiumBrowser::refresh(WindowKey window) {
    Page* p = find(window);
    if (!p || p->sessionId.isEmpty() || !m_client)
        return false;
    if (p->navigationPending) {
        p->reloadHeld = true;
        return true;
    }
    sendReload(p->targetId, true);
    return true;
}

void ChromiumBrowser::sendReload(const QString& targetId, bool retry) {
    Page* p = page(targetId);
    if (!p || p->sessionId.isEmpty())
        return;
    send(QStringLiteral("Page.reload"), {}, p->sessionId,
         [this, targetId, retry](const DevToolsReply& reply) {
             if (reply.ok || reply.timedOut || !retry)
                 return;
             // Refused while the page is between documents: once more a moment later.
             QTimer::singleShot(200, this, [this, targetId] { sendReload(targetId, false); });
         });
}

// --- new windows ---------------------------------------------------------------------------------

void ChromiumBrowser::openPage(const QString& startPage, const QString& address, Done done) {
    if (!m_client && m_connector->state() == BrowserConnector::State::Closed) {
        // The browser we launched was closed: start it again for this page.
        m_deferredOpens.append(DeferredOpen{startPage, address, std::move(done)});
        m_connector->reconnect();
        QTimer::singleShot(60000, this, [this] {
            // Whatever still waits after a minute will not be opened.
            const auto late = std::exchange(m_deferredOpens, {});
            for (const DeferredOpen& open : late) {
                if (open.done)
                    open.done(false, QStringLiteral("The browser did not start in time."));
            }
        });
        return;
    }
    if (!m_client) {
        if (done)
            done(false, QStringLiteral("No browser is guarded just now."));
        return;
    }
    const QString first = startPage.isEmpty() ? QStringLiteral("about:blank") : startPage;
    send(QStringLiteral("Target.createTarget"),
         QJsonObject{{QStringLiteral("url"), first}, {QStringLiteral("newWindow"), true}}, {},
         [this, address, done](const DevToolsReply& reply) {
             const QString targetId = reply.result.value(QStringLiteral("targetId")).toString();
             if (!reply.ok || targetId.isEmpty()) {
                 if (done)
                     done(false, reply.error.isEmpty()
                                     ? QStringLiteral("The browser did not open a window.")
                                     : reply.error);
                 return;
             }
             if (address.isEmpty()) {
                 if (done)
                     done(true, {});
                 return;
             }
             m_openRequests.insert(targetId, OpenRequest{address, done});
             Page* p = page(targetId);
             if (p && p->entered)
                 openPending(*p);
             // The page should be with us in milliseconds; never leave the caller waiting.
             QTimer::singleShot(15000, this, [this, targetId] {
                 if (!m_openRequests.contains(targetId))
                     return;
                 const OpenRequest request = m_openRequests.take(targetId);
                 if (request.done)
                     request.done(false, QStringLiteral("The browser did not open the page in "
                                                        "time."));
             });
         });
}

void ChromiumBrowser::openPending(Page& p) {
    const OpenRequest request = m_openRequests.take(p.targetId);
    if (p.sessionId.isEmpty()) {
        if (request.done)
            request.done(false, QStringLiteral("The new browser window cannot be driven."));
        return;
    }
    const int serial = ++p.navigationSerial;
    p.navigationPending = true;
    const QString targetId = p.targetId;
    send(QStringLiteral("Page.navigate"), QJsonObject{{QStringLiteral("url"), request.address}},
         p.sessionId, [this, targetId, serial, request](const DevToolsReply& reply) {
             const QString errorText = reply.result.value(QStringLiteral("errorText")).toString();
             if (!reply.ok || !errorText.isEmpty() ||
                 !reply.result.contains(QStringLiteral("loaderId")))
                 navigationSettled(targetId, serial);
             if (!request.done)
                 return;
             if (!reply.ok)
                 request.done(false, reply.error);
             else if (!errorText.isEmpty())
                 request.done(false, QStringLiteral("%1 (%2)").arg(errorText, request.address));
             else
                 request.done(true, {});
         });
}
