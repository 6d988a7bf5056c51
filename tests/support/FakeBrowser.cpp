#include "support/FakeBrowser.h"

#include <QPointer>
#include <QTimer>

WindowKey FakeBrowser::addWindow(FakeWindow window) {
    const WindowKey key = m_nextKey++;
    if (window.handle == 0)
        window.handle = 1000 + static_cast<qint64>(key);
    m_windows.insert(key, window);
    m_order.append(key);
    m_added.append(key);
    emit countChanged();
    return key;
}

WindowKey FakeBrowser::addPopup(const QString& url, const QString& title) {
    FakeWindow w;
    w.url = url;
    w.title = title;
    w.opener = true;
    w.menuBar = false;
    return addWindow(w);
}

WindowKey FakeBrowser::addBrowser(const QString& url, const QString& title) {
    FakeWindow w;
    w.url = url;
    w.title = title;
    return addWindow(w);
}

void FakeBrowser::addWindowLater(int ms, FakeWindow window) {
    QTimer::singleShot(ms, this, [this, window] { addWindow(window); });
}

bool FakeBrowser::removeWindow(WindowKey key) {
    if (!m_windows.remove(key))
        return false;
    m_order.removeOne(key);
    emit countChanged();
    return true;
}

void FakeBrowser::removeWindowLater(int ms, WindowKey key) {
    QTimer::singleShot(ms, this, [this, key] { removeWindow(key); });
}

QStringList FakeBrowser::actionLog() const {
    QStringList out;
    for (const Action& a : actions) {
        QString line = a.kind + QLatin1Char(' ') + QString::number(a.window);
        if (a.kind == QLatin1String("navigate"))
            line += QLatin1Char(' ') + a.address;
        out.append(line);
    }
    return out;
}

QList<WindowKey> FakeBrowser::quitWindows() const {
    QList<WindowKey> out;
    for (const Action& a : actions) {
        if (a.kind == QLatin1String("quit"))
            out.append(a.window);
    }
    return out;
}

int FakeBrowser::totalCalls() const {
    int n = 0;
    for (const int c : calls)
        n += c;
    return n;
}

const FakeWindow* FakeBrowser::reach(Op op, WindowKey key) {
    ++calls[op];
    if (m_failing.contains({op, key}) || m_failing.contains({op, WindowKey(0)}))
        return nullptr;
    const auto it = m_windows.constFind(key);
    return it == m_windows.constEnd() ? nullptr : &it.value();
}

void FakeBrowser::record(Action action) {
    actions.append(action);
    if (onAction)
        onAction(action);
}

std::optional<int> FakeBrowser::count() {
    ++calls[Op::Count];
    for (const auto& f : std::as_const(m_failing)) {
        if (f.first == Op::Count)
            return std::nullopt;
    }
    return static_cast<int>(m_order.size());
}

QList<WindowKey> FakeBrowser::enumerate() {
    return m_order;
}

std::optional<bool> FakeBrowser::isHtmlDocument(WindowKey key) {
    const FakeWindow* w = reach(Op::IsHtml, key);
    return w ? std::optional<bool>(w->html) : std::nullopt;
}

std::optional<qint64> FakeBrowser::handle(WindowKey key) {
    const FakeWindow* w = reach(Op::Handle, key);
    return w ? std::optional<qint64>(w->handle) : std::nullopt;
}

std::optional<QString> FakeBrowser::locationUrl(WindowKey key) {
    const FakeWindow* w = reach(Op::LocationUrl, key);
    return w ? std::optional<QString>(w->url) : std::nullopt;
}

std::optional<bool> FakeBrowser::menuBar(WindowKey key) {
    const FakeWindow* w = reach(Op::MenuBar, key);
    return w ? std::optional<bool>(w->menuBar) : std::nullopt;
}

std::optional<bool> FakeBrowser::visible(WindowKey key) {
    const FakeWindow* w = reach(Op::Visible, key);
    return w ? std::optional<bool>(w->visible) : std::nullopt;
}

bool FakeBrowser::quit(WindowKey key) {
    if (!reach(Op::Quit, key))
        return false;
    record({QStringLiteral("quit"), key, QString()});
    if (quitRemovesAfterMs == 0)
        removeWindow(key);
    else if (quitRemovesAfterMs > 0)
        removeWindowLater(quitRemovesAfterMs, key);
    return true;
}

bool FakeBrowser::navigate(WindowKey key, const QString& address) {
    if (!reach(Op::Navigate, key))
        return false;
    record({QStringLiteral("navigate"), key, address});
    if (navigateChangesAddressAfterMs == 0) {
        m_windows[key].url = address;
    } else if (navigateChangesAddressAfterMs > 0) {
        QTimer::singleShot(navigateChangesAddressAfterMs, this, [this, key, address] {
            if (m_windows.contains(key))
                m_windows[key].url = address;
        });
    }
    return true;
}

bool FakeBrowser::refresh(WindowKey key) {
    if (!reach(Op::Refresh, key))
        return false;
    record({QStringLiteral("refresh"), key, QString()});
    return true;
}

std::optional<QString> FakeBrowser::documentUrl(WindowKey key) {
    const FakeWindow* w = reach(Op::DocumentUrl, key);
    return w ? std::optional<QString>(w->document.isEmpty() ? w->url : w->document) : std::nullopt;
}

std::optional<QString> FakeBrowser::documentTitle(WindowKey key) {
    const FakeWindow* w = reach(Op::DocumentTitle, key);
    return w ? std::optional<QString>(w->title) : std::nullopt;
}

std::optional<bool> FakeBrowser::hasOpener(WindowKey key) {
    const FakeWindow* w = reach(Op::HasOpener, key);
    return w ? std::optional<bool>(w->opener) : std::nullopt;
}
