#include "platform/ChromiumBrowser.h"

#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPageOpener.h"
#include "platform/ChromiumPages.h"
#include "platform/devtools/DevToolsClient.h"

ChromiumBrowser::ChromiumBrowser(BrowserConnectionOptions options, QObject* parent)
    : BrowserWindows(parent), m_connector(new BrowserConnector(std::move(options), this)),
      m_pages(new ChromiumPages(this)),
      m_opener(new ChromiumPageOpener(*m_pages, *m_connector, this)) {
    connect(m_connector, &BrowserConnector::connected, this, &ChromiumBrowser::onConnected);
    connect(m_connector, &BrowserConnector::disconnected, this, &ChromiumBrowser::onDisconnected);
    connect(m_connector, &BrowserConnector::statusChanged, this, &ChromiumBrowser::statusChanged);
    connect(m_pages, &ChromiumPages::countChanged, this, &BrowserWindows::countChanged);
    connect(m_opener, &ChromiumPageOpener::windowOpened, this, &ChromiumBrowser::ownWindowOpened);
    m_pages->mayEnter = [this](ChromiumPage& page) { return m_opener->mayEnter(page); };
    m_pages->onEntered = [this](ChromiumPage& page) { m_opener->entered(page); };
    m_pages->onRemoved = [this](const QString& targetId) { m_opener->removed(targetId); };
}

ChromiumBrowser::~ChromiumBrowser() {
    m_connector->disconnect(this);
    m_pages->mayEnter = {};
    m_pages->onEntered = {};
    m_pages->onRemoved = {};
}

void ChromiumBrowser::start() {
    m_connector->start();
}

QString ChromiumBrowser::status() const {
    return m_connector->status();
}

bool ChromiumBrowser::isGuarding() const {
    return m_pages->isAttached();
}

bool ChromiumBrowser::canOpenPages() const {
    return m_pages->isAttached() || m_connector->state() == BrowserConnector::State::Closed;
}

void ChromiumBrowser::setHeldPageTimeout(int ms) {
    m_pages->setHeldPageTimeout(ms);
}

void ChromiumBrowser::onConnected(DevToolsClient* client) {
    onDisconnected(); // whatever was left from an earlier browser goes first
    m_pages->attach(client, [this](const QString& error) { m_connector->dropConnection(error); });
    m_opener->connected();
}

void ChromiumBrowser::onDisconnected() {
    m_opener->disconnected();
    m_pages->detach();
}

std::optional<int> ChromiumBrowser::count() {
    return m_pages->count();
}

QList<WindowKey> ChromiumBrowser::enumerate() {
    return m_pages->keys();
}

std::optional<bool> ChromiumBrowser::isHtmlDocument(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->isHtml();
}

std::optional<qint64> ChromiumBrowser::handle(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->handle;
}

std::optional<QString> ChromiumBrowser::locationUrl(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->shownAddress();
}

std::optional<bool> ChromiumBrowser::menuBar(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->menuBar;
}

std::optional<bool> ChromiumBrowser::visible(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->handle.has_value();
}

std::optional<QString> ChromiumBrowser::documentUrl(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p || !p->hasDocument || p->crashed)
        return std::nullopt;
    return p->shownAddress();
}

std::optional<QString> ChromiumBrowser::documentTitle(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p || !p->hasDocument || p->crashed)
        return std::nullopt;
    return m_pages->readTitle(window);
}

std::optional<bool> ChromiumBrowser::hasOpener(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    if (!p)
        return std::nullopt;
    return p->opener;
}

std::optional<QString> ChromiumBrowser::openerUrl(WindowKey window) {
    const ChromiumPage* p = m_pages->find(window);
    const ChromiumPage* opener = p && !p->openerId.isEmpty() ? m_pages->page(p->openerId) : nullptr;
    if (!opener)
        return std::nullopt;
    return opener->shownAddress();
}

bool ChromiumBrowser::quit(WindowKey window) {
    return m_pages->close(window);
}

bool ChromiumBrowser::navigate(WindowKey window, const QString& address) {
    ChromiumPage* p = m_pages->find(window);
    return p && m_pages->navigation().navigate(*p, address);
}

bool ChromiumBrowser::refresh(WindowKey window) {
    ChromiumPage* p = m_pages->find(window);
    return p && m_pages->navigation().refresh(*p);
}

void ChromiumBrowser::openPage(const QString& startPage, const QString& address, Done done) {
    m_opener->openPage(startPage, address, std::move(done));
}
