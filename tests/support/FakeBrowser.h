#pragma once

#include "platform/BrowserWindows.h"

#include <QMap>
#include <QStringList>
#include <functional>

// One window of the in-memory browser.
struct FakeWindow {
    qint64 handle = 0; // 0 = given one when added (1000 + its key)
    QString url;       // LocationURL: the address the window was opened for or shows
    QString document;  // the document's own URL when it differs (a page not yet loaded)
    QString title;
    bool html = true;    // holds a loaded HTML page
    bool opener = false; // opened by another page's script
    bool menuBar = true; // shows its menu bar
    bool visible = true;
    QString openerUrl{}; // the page that opened it; empty: none
};

// An in-memory, scripted browser for the blocking tests and benchmarks. Windows are added and
// removed by the test; chosen calls can be made to fail; every quit, navigate and refresh is
// recorded in order.
class FakeBrowser : public BrowserWindows {
    using W = FakeWindow;

public:
    struct Action {
        QString kind; // "quit", "navigate", "refresh"
        WindowKey window = 0;
        QString address; // navigate only
    };

    using BrowserWindows::BrowserWindows;

    // Adds a window at the end of the collection and gives its key.
    WindowKey addWindow(FakeWindow window) {
        const WindowKey key = m_nextKey++;
        window.handle = window.handle ? window.handle : qint64(1000 + key);
        m_windows.insert(key, window);
        emit countChanged();
        return key;
    }
    // A script-opened window without a menu bar; a plain window the user opened.
    WindowKey addPopup(const QString& url, const QString& title = {}) {
        return addWindow({0, url, {}, title, true, true, false});
    }
    WindowKey addBrowser(const QString& url, const QString& title = {}) {
        return addWindow({0, url, {}, title});
    }
    bool removeWindow(WindowKey key) {
        if (!m_windows.remove(key))
            return false;
        emit countChanged();
        return true;
    }
    bool contains(WindowKey key) const { return m_windows.contains(key); }
    FakeWindow& window(WindowKey key) { return m_windows[key]; }
    QList<WindowKey> keys() const { return m_windows.keys(); }

    // Makes the call of that name ("count", "isHtmlDocument", "quit"...) fail for `key` (0: for
    // every window).
    void fail(const QString& call, WindowKey key = 0) { m_failing.append({call, key}); }

    // A closed window stays in the collection; a navigated one keeps its address.
    bool quitKeepsWindow = false, navigateKeepsAddress = false;

    // Every successful quit, navigate and refresh, in order; as text: "quit 3", "navigate 3
    // http://home/", "refresh 3".
    QList<Action> actions;
    QStringList actionLog() const {
        QStringList out;
        for (const Action& a : actions)
            out << QStringList{a.kind, QString::number(a.window), a.address}.join(' ').trimmed();
        return out;
    }
    QList<WindowKey> quitWindows() const {
        QList<WindowKey> out;
        for (const Action& a : actions) {
            if (a.kind == QLatin1String("quit"))
                out << a.window;
        }
        return out;
    }
    // Runs after each recorded action (so a test can act in the middle of a pass).
    std::function<void(const Action&)> onAction;

    std::optional<int> count() override {
        return failing("count", 0) ? std::nullopt : std::optional(int(m_windows.size()));
    }
    QList<WindowKey> enumerate() override { return m_windows.keys(); }
    std::optional<bool> isHtmlDocument(WindowKey k) override {
        return get("isHtmlDocument", k, &W::html);
    }
    std::optional<qint64> handle(WindowKey k) override { return get("handle", k, &W::handle); }
    std::optional<QString> locationUrl(WindowKey k) override {
        return get("locationUrl", k, &W::url);
    }
    std::optional<bool> menuBar(WindowKey k) override { return get("menuBar", k, &W::menuBar); }
    std::optional<bool> visible(WindowKey k) override { return get("visible", k, &W::visible); }
    std::optional<QString> documentTitle(WindowKey k) override {
        return get("documentTitle", k, &W::title);
    }
    std::optional<bool> hasOpener(WindowKey k) override { return get("hasOpener", k, &W::opener); }
    std::optional<QString> openerUrl(WindowKey k) override {
        const std::optional<QString> url = get("openerUrl", k, &W::openerUrl);
        return url && url->isEmpty() ? std::nullopt : url;
    }
    std::optional<QString> documentUrl(WindowKey k) override {
        const std::optional<QString> document = get("documentUrl", k, &W::document);
        return document && document->isEmpty() ? m_windows[k].url : document;
    }
    bool quit(WindowKey k) override {
        const bool done = act({"quit", k, {}});
        if (done && !quitKeepsWindow)
            removeWindow(k);
        return done;
    }
    bool navigate(WindowKey k, const QString& address) override {
        if (!act({"navigate", k, address}))
            return false;
        if (!navigateKeepsAddress && m_windows.contains(k))
            m_windows[k].url = address;
        return true;
    }
    bool refresh(WindowKey k) override { return act({"refresh", k, {}}); }

private:
    bool failing(const QString& call, WindowKey key) const {
        return m_failing.contains({call, key}) || m_failing.contains({call, WindowKey(0)});
    }
    // The field when the call may run on the window (it is there and not made to fail).
    // The call's name is made a string only when some call is to fail, so reads stay cheap.
    template <typename T> std::optional<T> get(const char* call, WindowKey key, T W::*field) {
        const auto it = m_windows.constFind(key);
        if ((!m_failing.isEmpty() && failing(QString::fromLatin1(call), key)) ||
            it == m_windows.constEnd())
            return std::nullopt;
        return it.value().*field;
    }
    bool act(const Action& action) {
        if (failing(action.kind, action.window) || !m_windows.contains(action.window))
            return false;
        actions.append(action);
        if (onAction)
            onAction(action);
        return true;
    }

    QMap<WindowKey, FakeWindow> m_windows; // in the order they were added
    QList<std::pair<QString, WindowKey>> m_failing;
    WindowKey m_nextKey = 1;
};
