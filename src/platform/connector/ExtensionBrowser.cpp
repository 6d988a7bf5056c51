#include "platform/connector/ExtensionBrowser.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcConnector)

namespace M = ExtensionMessages;

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");
// A navigation that never finishes stops holding a reload after this long (ms).
constexpr int kNavigationWaitMs = 15000;

QString withoutScheme(const QString& url) {
    const qsizetype at = url.indexOf(QLatin1String("://"));
    return at < 0 ? url : url.mid(at + 3);
}

} // namespace

// A browser shows a page's address as its title until the page names one: that is no title.
QString ExtensionBrowser::Tab::currentTitle() const {
    if (url.isEmpty() && !openedFor.isEmpty())
        return {}; // still on the initial page, not yet at the address it was opened for
    if (title == url || title == withoutScheme(url) || title == openedFor)
        return {};
    return title;
}

ExtensionBrowser::ExtensionBrowser(QObject* parent) : BrowserWindows(parent) {}

ExtensionBrowser::~ExtensionBrowser() {
    if (m_titleWait)
        m_titleWait->quit();
}

void ExtensionBrowser::receive(QByteArrayView json) {
    qCDebug(lcConnector).noquote() << browserName() << "says" << json.toByteArray();
    if (const auto message = M::parse(json))
        receive(*message);
}

void ExtensionBrowser::receive(const M::Message& message) {
    std::visit([this](const auto& m) { on(m); }, message);
}

QString ExtensionBrowser::browserName() const {
    const QString major = m_version.section(QLatin1Char('.'), 0, 0);
    return major.isEmpty() ? m_browser : m_browser + QLatin1Char(' ') + major;
}

// --- messages ------------------------------------------------------------------------------------

void ExtensionBrowser::on(const M::Hello& m) {
    m_browser = m.browser;
    m_version = m.version;
}

void ExtensionBrowser::on(const M::Snapshot& m) {
    QList<qint64> handles;
    QList<qint64> tabs;
    for (const M::Window& w : m.windows) {
        m_windows.insert(w.windowId, w.windowType);
        handles.append(w.windowId);
        for (const M::Tab& t : w.tabs) {
            Tab& tab = learn(t);
            setOwnUrl(tab, t.url);
            if (!t.title.isEmpty())
                tab.title = t.title;
            if (!t.openedFor.isEmpty())
                tab.openedFor = t.openedFor;
            tab.waited = true; // there before us: nothing more to wait for
            tabs.append(t.tabId);
        }
    }
    for (qint64 tabId : tabs)
        maybeEnter(tabId);
    emit snapshotWindows(handles);
}

void ExtensionBrowser::on(const M::WindowCreated& m) {
    m_windows.insert(m.window.windowId, m.window.windowType);
    // Firefox tells of a new window's tab before the window itself.
    QList<qint64> waiting;
    for (auto it = m_tabs.cbegin(); it != m_tabs.cend(); ++it) {
        if (it->windowId == m.window.windowId && !it->entered)
            waiting.append(it.key());
    }
    for (qint64 tabId : waiting)
        maybeEnter(tabId);
}

void ExtensionBrowser::on(const M::TabCreated& m) {
    const bool early = !m_windows.contains(m.tab.windowId) && !m_tabs.contains(m.tab.tabId);
    Tab& tab = learn(m.tab);
    tab.early = tab.early || early;
    if (tab.url.isEmpty() && !m.tab.url.isEmpty() && m.tab.url != kAboutBlank)
        tab.openedFor = m.tab.url; // pendingUrl: what it is about to load
    if (!m.tab.title.isEmpty())
        tab.title = m.tab.title;
    maybeEnter(m.tab.tabId);
}

void ExtensionBrowser::on(const M::NavTarget& m) {
    if (!m_tabs.contains(m.tabId)) {
        if (!m.windowId)
            return;
        learn(M::Tab{m.tabId, *m.windowId, {}, {}, {}, {}, {}});
    }
    Tab& tab = m_tabs[m.tabId];
    tab.opener = true;
    tab.openerTab = m.sourceTabId;
    if (!m.url.isEmpty() && m.url != kAboutBlank)
        tab.openedFor = m.url;
    maybeEnter(m.tabId);
    wakeTitleWait();
}

void ExtensionBrowser::on(const M::TabUpdated& m) {
    auto it = m_tabs.find(m.tabId);
    if (it == m_tabs.end())
        return;
    if (m.url)
        setOwnUrl(*it, *m.url);
    if (m.title)
        it->title = *m.title;
    if (m.complete)
        it->complete = *m.complete;
    if (it->navigateCommand != 0) {
        it->navigateStarted = it->navigateStarted || (m.url && *m.url != it->navigateFrom);
        if (it->navigateStarted && m.complete.value_or(false))
            navigationSettled(m.tabId, it->navigateCommand);
    }
    wakeTitleWait();
}

void ExtensionBrowser::on(const M::TabMoved& m) {
    auto it = m_tabs.find(m.tabId);
    if (it == m_tabs.end())
        return;
    it->windowId = m.windowId;
    maybeEnter(m.tabId);
}

void ExtensionBrowser::on(const M::TabRemoved& m) {
    if (forget(m.tabId))
        emit countChanged();
}

void ExtensionBrowser::on(const M::WindowRemoved& m) {
    m_windows.remove(m.windowId);
    QList<qint64> gone;
    for (auto it = m_tabs.cbegin(); it != m_tabs.cend(); ++it) {
        if (it->windowId == m.windowId)
            gone.append(it.key());
    }
    bool left = false;
    for (qint64 tabId : gone)
        left = forget(tabId) || left;
    if (left)
        emit countChanged();
}

void ExtensionBrowser::on(const M::Done& m) {
    if (m.ok)
        return;
    qCDebug(lcConnector) << browserName() << "refused command" << m.id << m.error;
    for (auto it = m_tabs.begin(); it != m_tabs.end(); ++it) {
        if (it->navigateCommand == m.id) {
            setOwnUrl(*it, it->navigateFrom);         // still where it was
            return navigationSettled(it.key(), m.id); // nothing is on its way
        }
    }
}

// --- the mirror ----------------------------------------------------------------------------------

ExtensionBrowser::Tab& ExtensionBrowser::learn(const M::Tab& facts) {
    Tab& tab = m_tabs[facts.tabId];
    if (tab.key == 0)
        tab.key = m_nextKey++;
    tab.windowId = facts.windowId;
    tab.opener = tab.opener || facts.openerTabId || facts.sourceTabId;
    if (const std::optional<qint64> by = facts.openerTabId ? facts.openerTabId : facts.sourceTabId)
        tab.openerTab = *by;
    return tab;
}

void ExtensionBrowser::setOwnUrl(Tab& tab, const QString& url) {
    // Every new tab passes through about:blank on its way to what it was opened for.
    if (url.isEmpty() || url == tab.url || (url == kAboutBlank && tab.url.isEmpty()))
        return;
    tab.url = url;
    tab.title.clear(); // the title of the document before
    tab.complete = false;
}

void ExtensionBrowser::maybeEnter(qint64 tabId) {
    auto it = m_tabs.find(tabId);
    if (it == m_tabs.end() || it->entered || it->closing)
        return;
    const auto window = m_windows.constFind(it->windowId);
    const bool known = window != m_windows.cend();
    const bool popup = known && *window == QLatin1String("popup");
    // Firefox tells of a new window's tab before the window: until the window comes, its type is
    // unknown, so the tab waits for it (a snapshot after a reconnection names it otherwise).
    if (!known && !it->waited)
        return;
    const bool unnamed = it->early && it->shown().isEmpty(); // a new window, address unknown
    if (!it->waited && (popup || unnamed) && !it->opener) {
        // Firefox names a popup's opener only with its navigation target, some 80 ms after the
        // window; a popup let in before it would be judged as a window without an opener. A link
        // opened into a new window waits for it too, so that its record names the address.
        if (!it->holding) {
            it->holding = true;
            QTimer::singleShot(m_openerTimeoutMs, this, [this, tabId, key = it->key] {
                auto held = m_tabs.find(tabId);
                if (held == m_tabs.end() || held->key != key)
                    return;
                held->waited = true;
                maybeEnter(tabId);
            });
        }
        return;
    }
    it->entered = true;
    m_entered.emplace(it->key, tabId);
    emit countChanged();
}

void ExtensionBrowser::leave(Tab& tab) {
    if (!tab.entered)
        return;
    tab.entered = false;
    m_entered.erase(tab.key);
}

bool ExtensionBrowser::forget(qint64 tabId) {
    auto it = m_tabs.find(tabId);
    if (it == m_tabs.end())
        return false;
    const bool wasEntered = it->entered;
    leave(*it);
    m_tabs.erase(it);
    return wasEntered;
}

ExtensionBrowser::Tab* ExtensionBrowser::find(WindowKey key) {
    const auto it = m_entered.find(key);
    if (it == m_entered.end())
        return nullptr;
    const auto tab = m_tabs.find(it->second);
    return tab == m_tabs.end() ? nullptr : &tab.value();
}

qint64 ExtensionBrowser::send(QJsonObject command) {
    const qint64 id = m_nextCommand++;
    command.insert(QStringLiteral("v"), 1);
    command.insert(QStringLiteral("id"), double(id));
    emit outgoing(QJsonDocument(command).toJson(QJsonDocument::Compact));
    return id;
}

qint64 ExtensionBrowser::sendReload(qint64 tabId) {
    return send({{QStringLiteral("type"), QStringLiteral("reload")},
                 {QStringLiteral("tabId"), double(tabId)}});
}

void ExtensionBrowser::navigationSettled(qint64 tabId, qint64 command) {
    auto it = m_tabs.find(tabId);
    if (it == m_tabs.end() || it->navigateCommand != command)
        return;
    it->navigateCommand = 0;
    if (std::exchange(it->reloadHeld, false) && !it->closing)
        sendReload(tabId);
}

void ExtensionBrowser::requestSnapshot() {
    send({{QStringLiteral("type"), QStringLiteral("snapshot")}});
}

void ExtensionBrowser::wakeTitleWait() {
    if (m_titleWait)
        m_titleWait->quit();
}

// --- reads ---------------------------------------------------------------------------------------

std::optional<int> ExtensionBrowser::count() {
    return static_cast<int>(m_entered.size());
}

QList<WindowKey> ExtensionBrowser::enumerate() {
    QList<WindowKey> keys;
    for (const auto& entry : m_entered)
        keys.append(entry.first);
    return keys;
}

std::optional<bool> ExtensionBrowser::isHtmlDocument(WindowKey window) {
    if (!find(window))
        return std::nullopt;
    return true;
}

std::optional<qint64> ExtensionBrowser::handle(WindowKey window) {
    const Tab* tab = find(window);
    if (!tab)
        return std::nullopt;
    return tab->windowId;
}

std::optional<QString> ExtensionBrowser::locationUrl(WindowKey window) {
    const Tab* tab = find(window);
    if (!tab)
        return std::nullopt;
    return tab->shown();
}

std::optional<QString> ExtensionBrowser::documentUrl(WindowKey window) {
    return locationUrl(window);
}

std::optional<bool> ExtensionBrowser::menuBar(WindowKey window) {
    const Tab* tab = find(window);
    if (!tab)
        return std::nullopt;
    return m_windows.value(tab->windowId) != QLatin1String("popup");
}

std::optional<bool> ExtensionBrowser::visible(WindowKey window) {
    return isHtmlDocument(window);
}

std::optional<bool> ExtensionBrowser::hasOpener(WindowKey window) {
    const Tab* tab = find(window);
    if (!tab)
        return std::nullopt;
    return tab->opener;
}

std::optional<QString> ExtensionBrowser::openerUrl(WindowKey window) {
    const Tab* tab = find(window);
    const auto opener =
        tab && tab->openerTab ? m_tabs.constFind(tab->openerTab) : m_tabs.constEnd();
    if (opener == m_tabs.constEnd())
        return std::nullopt;
    return opener->shown();
}

std::optional<QString> ExtensionBrowser::documentTitle(WindowKey window) {
    Tab* tab = find(window);
    if (!tab)
        return std::nullopt;
    // The title follows the tab by some 50 ms in Chromium, 140 ms in Firefox: a record of a tab
    // just opened waits for it, once, so that it names what the user saw.
    if (tab->currentTitle().isEmpty() && !tab->complete && !tab->titleWaited && !m_titleWait) {
        tab->titleWaited = true;
        QPointer<ExtensionBrowser> self(this);
        QEventLoop loop;
        m_titleWait = &loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(m_titleTimeoutMs);
        while (deadline.isActive()) {
            loop.exec();
            if (!self)
                return std::nullopt; // the browser went while we waited
            tab = find(window);
            if (!tab || !tab->currentTitle().isEmpty() || tab->complete)
                break;
        }
        m_titleWait = nullptr;
        if (!tab)
            return std::nullopt;
    }
    return tab->currentTitle();
}

// --- commands ------------------------------------------------------------------------------------

bool ExtensionBrowser::quit(WindowKey window) {
    Tab* tab = find(window);
    if (!tab)
        return false;
    const qint64 tabId = m_entered.at(window);
    const qint64 windowId = tab->windowId;
    tab->closing = true;
    leave(*tab);
    bool alone = true;
    for (auto it = m_tabs.cbegin(); it != m_tabs.cend() && alone; ++it)
        alone = it->windowId != windowId || it->closing;
    if (alone)
        send({{QStringLiteral("type"), QStringLiteral("close")},
              {QStringLiteral("windowId"), double(windowId)}});
    else
        send({{QStringLiteral("type"), QStringLiteral("close")},
              {QStringLiteral("tabId"), double(tabId)}});
    emit countChanged();
    return true;
}

bool ExtensionBrowser::navigate(WindowKey window, const QString& address) {
    const auto it = m_entered.find(window);
    const QString scheme = QUrl(address).scheme();
    if (it == m_entered.end() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    const qint64 tabId = it->second;
    Tab& tab = m_tabs[tabId];
    const qint64 command = send({{QStringLiteral("type"), QStringLiteral("navigate")},
                                 {QStringLiteral("tabId"), double(tabId)},
                                 {QStringLiteral("url"), address}});
    tab.navigateCommand = command;
    tab.navigateFrom = tab.shown();
    tab.navigateStarted = false;
    // From now on the tab reports the address it is loading, as the browser does once it has
    // started: a pass that runs before the browser says so must not judge the page being left
    // again.
    setOwnUrl(tab, address);
    QTimer::singleShot(kNavigationWaitMs, this,
                       [this, tabId, command] { navigationSettled(tabId, command); });
    return true;
}

bool ExtensionBrowser::refresh(WindowKey window) {
    const auto it = m_entered.find(window);
    if (it == m_entered.end())
        return false;
    Tab& tab = m_tabs[it->second];
    if (tab.navigateCommand != 0)
        tab.reloadHeld = true; // sent once the navigation has finished
    else
        sendReload(it->second);
    return true;
}
