#pragma once

#include "platform/BrowserWindows.h"

#include <QHash>
#include <QList>
#include <QSet>
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
};

// An in-memory, scripted browser for the blocking tests and benchmarks. Windows are added and
// removed by the test; chosen operations can be made to fail; every quit, navigate and refresh is
// recorded in order.
class FakeBrowser : public BrowserWindows {
    Q_OBJECT
public:
    enum class Op {
        Count,
        IsHtml,
        Handle,
        LocationUrl,
        MenuBar,
        Visible,
        Quit,
        Navigate,
        Refresh,
        DocumentUrl,
        DocumentTitle,
        HasOpener
    };

    struct Action {
        QString kind; // "quit", "navigate", "refresh"
        WindowKey window = 0;
        QString address; // navigate only
    };

    using BrowserWindows::BrowserWindows;

    // Adds a window at the end of the collection and reports the new count.
    WindowKey addWindow(FakeWindow window);
    // A script-opened window without a menu bar.
    WindowKey addPopup(const QString& url, const QString& title = QString());
    // A plain browser window the user opened (menu bar, no opener).
    WindowKey addBrowser(const QString& url, const QString& title = QString());
    bool removeWindow(WindowKey key);

    bool contains(WindowKey key) const { return m_windows.contains(key); }
    FakeWindow& window(WindowKey key) { return m_windows[key]; }
    QList<WindowKey> keys() const { return m_order; }

    // Makes `op` fail for `key` (0 = every window; for Count, any key).
    void fail(Op op, WindowKey key = 0) { m_failing.insert({op, key}); }

    // A closed window stays in the collection; a navigated one keeps its address.
    bool quitKeepsWindow = false;
    bool navigateKeepsAddress = false;

    // Every successful quit, navigate and refresh, in order.
    QList<Action> actions;
    // The actions as text: "quit 3", "navigate 3 http://home/", "refresh 3".
    QStringList actionLog() const;
    QList<WindowKey> quitWindows() const;
    // Calls of each operation, failed ones included.
    QHash<Op, int> calls;
    // Runs after each recorded action (so a test can act in the middle of a pass).
    std::function<void(const Action&)> onAction;

    std::optional<int> count() override;
    QList<WindowKey> enumerate() override { return m_order; }
    std::optional<bool> isHtmlDocument(WindowKey k) override {
        return get(Op::IsHtml, k, &FakeWindow::html);
    }
    std::optional<qint64> handle(WindowKey k) override {
        return get(Op::Handle, k, &FakeWindow::handle);
    }
    std::optional<QString> locationUrl(WindowKey k) override {
        return get(Op::LocationUrl, k, &FakeWindow::url);
    }
    std::optional<bool> menuBar(WindowKey k) override {
        return get(Op::MenuBar, k, &FakeWindow::menuBar);
    }
    std::optional<bool> visible(WindowKey k) override {
        return get(Op::Visible, k, &FakeWindow::visible);
    }
    std::optional<QString> documentTitle(WindowKey k) override {
        return get(Op::DocumentTitle, k, &FakeWindow::title);
    }
    std::optional<bool> hasOpener(WindowKey k) override {
        return get(Op::HasOpener, k, &FakeWindow::opener);
    }
    std::optional<QString> documentUrl(WindowKey window) override;
    bool quit(WindowKey window) override;
    bool navigate(WindowKey window, const QString& address) override;
    bool refresh(WindowKey window) override;

private:
    // The window when `op` may run on it, else nullptr (gone, or made to fail).
    const FakeWindow* reach(Op op, WindowKey key);
    template <typename T> std::optional<T> get(Op op, WindowKey key, T FakeWindow::*field) {
        const FakeWindow* w = reach(op, key);
        return w ? std::optional<T>(w->*field) : std::nullopt;
    }
    bool act(Op op, Action action);

    QHash<WindowKey, FakeWindow> m_windows;
    QList<WindowKey> m_order;
    QSet<std::pair<Op, WindowKey>> m_failing;
    WindowKey m_nextKey = 1;
};

inline size_t qHash(FakeBrowser::Op op, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(op), seed);
}
