#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

// The messages an extension sends the program, checked and typed (docs/EXTENSION-PROTOCOL.md).
// They are facts about windows and tabs and nothing else: a message of a type we do not take, or
// without a field it needs, parses to nothing, and fields we do not know are left unread.
//
// Ids are the browser's own non-negative integers; one that is not a whole number in
// [0, kMaxId] makes its message nothing. Texts lose their control characters (a title never
// splits a record of the log into two lines).
namespace ExtensionMessages {

// The browsers' ids are small; a bound leaves room for the collection's member bits above them.
inline constexpr qint64 kMaxId = (qint64(1) << 40) - 1;

struct Hello {
    QString browser;
    QString version;
};
struct Tab {
    qint64 tabId = 0;
    qint64 windowId = 0;
    std::optional<qint64> openerTabId;
    std::optional<qint64> sourceTabId;
    QString url;       // tabCreated: pendingUrl or url; snapshot: the tab's address
    QString title;     // may be empty
    QString openedFor; // snapshot only
};
struct Window {
    qint64 windowId = 0;
    QString windowType;
    QList<Tab> tabs; // snapshot only
};
struct Snapshot {
    QList<Window> windows;
};
struct WindowCreated {
    Window window;
};
struct TabCreated {
    Tab tab;
};
struct NavTarget {
    qint64 tabId = 0;
    qint64 sourceTabId = 0;
    QString url;
    std::optional<qint64> windowId;
};
struct TabUpdated {
    qint64 tabId = 0;
    std::optional<QString> url;
    std::optional<QString> title;
    std::optional<bool> complete; // status: complete (true) or loading (false)
};
struct TabMoved {
    qint64 tabId = 0;
    qint64 windowId = 0;
};
struct TabRemoved {
    qint64 tabId = 0;
};
struct WindowRemoved {
    qint64 windowId = 0;
};
struct Done {
    qint64 id = 0;
    bool ok = false;
    QString error;
};

using Message = std::variant<Hello, Snapshot, WindowCreated, TabCreated, NavTarget, TabUpdated,
                             TabMoved, TabRemoved, WindowRemoved, Done>;

std::optional<Message> parse(const QJsonObject& object);
// One frame's bytes: JSON holding one object.
std::optional<Message> parse(QByteArrayView json);

} // namespace ExtensionMessages
