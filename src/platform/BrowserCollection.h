#pragma once

#include "platform/BrowserWindows.h"

#include <QList>
#include <QPointer>

// Several guarded browsers seen as one: the DevTools browser and every browser whose extension is
// connected. Blocking, the hijack check and the editor's open pages judge all their windows alike.
//
// Members come and go at run time. Each gets a slot number when it is added, never given again
// within a run; the collection's window keys and handles carry the slot in their high bits and the
// member's own key or handle in the low 40 bits. So a key or handle is unique across members, a
// member that leaves takes its windows with it, and one that comes back (a browser whose extension
// reconnects) gets new keys and handles: a window of a browser that went is never taken for one
// of a new browser, and a window spared by its handle stays spared only in the browser it is in.
//
// Reads and commands go to the member that owns the window; count() is the sum over the members
// that answer. countChanged of any member is passed on, as is the arrival or departure of a member
// that has windows.
class BrowserCollection : public BrowserWindows {
    Q_OBJECT
public:
    using BrowserWindows::BrowserWindows;

    // Adds `member` (not owned) and gives its slot. A member that is destroyed leaves by itself.
    int addMember(BrowserWindows* member);
    // Takes `member` and its windows out; nothing when it is not a member.
    void removeMember(BrowserWindows* member);
    QList<BrowserWindows*> members() const;

    // The collection's handle for a member's handle (std::nullopt when not a member).
    std::optional<qint64> handleOf(const BrowserWindows* member, qint64 memberHandle) const;

    std::optional<int> count() override;
    QList<WindowKey> enumerate() override;
    std::optional<bool> isHtmlDocument(WindowKey window) override;
    std::optional<qint64> handle(WindowKey window) override;
    std::optional<QString> locationUrl(WindowKey window) override;
    std::optional<bool> menuBar(WindowKey window) override;
    std::optional<bool> visible(WindowKey window) override;
    bool quit(WindowKey window) override;
    bool navigate(WindowKey window, const QString& address) override;
    bool refresh(WindowKey window) override;
    std::optional<QString> documentUrl(WindowKey window) override;
    std::optional<QString> documentTitle(WindowKey window) override;
    std::optional<bool> hasOpener(WindowKey window) override;
    std::optional<QString> openerUrl(WindowKey window) override;

    static constexpr int kMemberBits = 40;

private:
    struct Member {
        quint64 slot = 0;
        QPointer<BrowserWindows> windows;
        const BrowserWindows* identity = nullptr; // still known while being destroyed
    };
    // The member that owns `window`, and the member's own key for it.
    BrowserWindows* route(WindowKey window, WindowKey* memberKey) const;
    void drop(const BrowserWindows* member);
    // The owning member's answer to `call`; a failure (false, std::nullopt) for a window of no
    // member.
    template <typename Call>
    auto via(WindowKey window, Call call) const -> decltype(call(nullptr, WindowKey())) {
        WindowKey key = 0;
        if (BrowserWindows* member = route(window, &key))
            return call(member, key);
        return {};
    }

    QList<Member> m_members;
    quint64 m_nextSlot = 0;
};
