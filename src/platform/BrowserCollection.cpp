#include "platform/BrowserCollection.h"

namespace {
constexpr quint64 lowMask = (quint64(1) << BrowserCollection::kMemberBits) - 1;

quint64 combine(quint64 slot, quint64 value) {
    return (slot << BrowserCollection::kMemberBits) | (value & lowMask);
}
} // namespace

int BrowserCollection::addMember(BrowserWindows* member) {
    for (const Member& m : std::as_const(m_members))
        if (m.identity == member)
            return int(m.slot);
    const quint64 slot = m_nextSlot++;
    m_members.append({slot, member, member});
    connect(member, &BrowserWindows::countChanged, this, &BrowserWindows::countChanged);
    connect(member, &QObject::destroyed, this, [this, member] { drop(member); });
    if (member->count().value_or(0) > 0)
        emit countChanged();
    return int(slot);
}

void BrowserCollection::removeMember(BrowserWindows* member) {
    if (member)
        member->disconnect(this);
    drop(member);
}

void BrowserCollection::drop(const BrowserWindows* member) {
    const auto gone =
        m_members.removeIf([member](const Member& m) { return m.identity == member; });
    if (gone > 0)
        emit countChanged();
}

QList<BrowserWindows*> BrowserCollection::members() const {
    QList<BrowserWindows*> out;
    for (const Member& m : m_members)
        if (m.windows)
            out.append(m.windows);
    return out;
}

std::optional<qint64> BrowserCollection::handleOf(const BrowserWindows* member,
                                                  qint64 memberHandle) const {
    for (const Member& m : m_members)
        if (m.identity == member && m.windows)
            return qint64(combine(m.slot, quint64(memberHandle)));
    return std::nullopt;
}

BrowserWindows* BrowserCollection::route(WindowKey window, WindowKey* memberKey) const {
    const quint64 slot = window >> kMemberBits;
    for (const Member& m : m_members) {
        if (m.slot == slot) {
            *memberKey = window & lowMask;
            return m.windows;
        }
    }
    return nullptr;
}

std::optional<int> BrowserCollection::count() {
    std::optional<int> total;
    for (BrowserWindows* member : members())
        if (const std::optional<int> n = member->count())
            total = total.value_or(0) + *n;
    // No members at all: no windows. Members that all fail: a failure.
    return m_members.isEmpty() ? std::optional<int>(0) : total;
}

QList<WindowKey> BrowserCollection::enumerate() {
    QList<WindowKey> out;
    for (const Member& m : std::as_const(m_members)) {
        if (!m.windows)
            continue;
        for (const WindowKey key : m.windows->enumerate())
            out.append(combine(m.slot, key));
    }
    return out;
}

std::optional<bool> BrowserCollection::isHtmlDocument(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->isHtmlDocument(key); });
}

std::optional<qint64> BrowserCollection::handle(WindowKey window) {
    WindowKey key = 0;
    BrowserWindows* member = route(window, &key);
    if (!member)
        return std::nullopt;
    const std::optional<qint64> own = member->handle(key);
    if (!own)
        return std::nullopt;
    return qint64(combine(window >> kMemberBits, quint64(*own)));
}

std::optional<QString> BrowserCollection::locationUrl(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->locationUrl(key); });
}
std::optional<bool> BrowserCollection::menuBar(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->menuBar(key); });
}
std::optional<bool> BrowserCollection::visible(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->visible(key); });
}
bool BrowserCollection::quit(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->quit(key); });
}
bool BrowserCollection::navigate(WindowKey window, const QString& address) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->navigate(key, address); });
}
bool BrowserCollection::refresh(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->refresh(key); });
}
std::optional<QString> BrowserCollection::documentUrl(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->documentUrl(key); });
}
std::optional<QString> BrowserCollection::documentTitle(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->documentTitle(key); });
}
std::optional<bool> BrowserCollection::hasOpener(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->hasOpener(key); });
}

std::optional<QString> BrowserCollection::openerUrl(WindowKey window) {
    return via(window, [&](BrowserWindows* m, WindowKey key) { return m->openerUrl(key); });
}
