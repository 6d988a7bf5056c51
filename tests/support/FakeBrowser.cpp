#include "support/FakeBrowser.h"

WindowKey FakeBrowser::addWindow(FakeWindow window) {
    const WindowKey key = m_nextKey++;
    if (window.handle == 0)
        window.handle = 1000 + static_cast<qint64>(key);
    m_windows.insert(key, window);
    m_order.append(key);
    emit countChanged();
    return key;
}

WindowKey FakeBrowser::addPopup(const QString& url, const QString& title) {
    return addWindow({0, url, {}, title, true, true, false});
}

WindowKey FakeBrowser::addBrowser(const QString& url, const QString& title) {
    return addWindow({0, url, {}, title});
}

bool FakeBrowser::removeWindow(WindowKey key) {
    if (!m_windows.remove(key))
        return false;
    m_order.removeOne(key);
    emit countChanged();
    return true;
}

QStringList FakeBrowser::actionLog() const {
    QStringList out;
    for (const Action& a : actions)
        out << QStringList{a.kind, QString::number(a.window), a.address}.join(' ').trimmed();
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

const FakeWindow* FakeBrowser::reach(Op op, WindowKey key) {
    ++calls[op];
    if (m_failing.contains({op, key}) || m_failing.contains({op, WindowKey(0)}))
        return nullptr;
    const auto it = m_windows.constFind(key);
    return it == m_windows.constEnd() ? nullptr : &it.value();
}

bool FakeBrowser::act(Op op, Action action) {
    if (!reach(op, action.window))
        return false;
    actions.append(action);
    if (onAction)
        onAction(action);
    return true;
}

std::optional<int> FakeBrowser::count() {
    ++calls[Op::Count];
    for (const auto& f : std::as_const(m_failing)) {
        if (f.first == Op::Count)
            return std::nullopt;
    }
    return static_cast<int>(m_order.size());
}

std::optional<QString> FakeBrowser::documentUrl(WindowKey key) {
    const FakeWindow* w = reach(Op::DocumentUrl, key);
    return w ? std::optional<QString>(w->document.isEmpty() ? w->url : w->document) : std::nullopt;
}

bool FakeBrowser::quit(WindowKey key) {
    if (!act(Op::Quit, {QStringLiteral("quit"), key, {}}))
        return false;
    if (!quitKeepsWindow)
        removeWindow(key);
    return true;
}

bool FakeBrowser::navigate(WindowKey key, const QString& address) {
    if (!act(Op::Navigate, {QStringLiteral("navigate"), key, address}))
        return false;
    if (!navigateKeepsAddress && m_windows.contains(key))
        m_windows[key].url = address;
    return true;
}

bool FakeBrowser::refresh(WindowKey key) {
    return act(Op::Refresh, {QStringLiteral("refresh"), key, {}});
}
