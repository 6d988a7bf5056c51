#include "platform/connector/ExtensionMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>

namespace ExtensionMessages {

namespace {

std::optional<qint64> id(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= 0 && d <= double(kMaxId)) || std::floor(d) != d)
        return std::nullopt;
    return static_cast<qint64>(d);
}

// A field that may be left out, but is wrong when it is there and not an id.
bool optionalId(const QJsonObject& o, const char* key, std::optional<qint64>& out) {
    if (!o.contains(QLatin1String(key)) || o.value(QLatin1String(key)).isNull())
        return true;
    out = id(o, key);
    return out.has_value();
}

QString cleaned(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    return text;
}

std::optional<QString> text(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return std::nullopt;
    return cleaned(v.toString());
}

std::optional<Tab> tab(const QJsonObject& o, const char* idKey) {
    Tab t;
    const auto tabId = id(o, idKey);
    const auto windowId = id(o, "windowId");
    if (!tabId || !windowId || !optionalId(o, "openerTabId", t.openerTabId) ||
        !optionalId(o, "sourceTabId", t.sourceTabId))
        return std::nullopt;
    t.tabId = *tabId;
    t.windowId = *windowId;
    t.url = text(o, "url").value_or(QString());
    t.title = text(o, "title").value_or(QString());
    t.openedFor = text(o, "openedFor").value_or(QString());
    return t;
}

std::optional<Message> hello(const QJsonObject& o) {
    const auto browser = text(o, "browser");
    if (!browser)
        return std::nullopt;
    return Hello{*browser, text(o, "version").value_or(QString())};
}

std::optional<Message> snapshot(const QJsonObject& o) {
    Snapshot s;
    for (const QJsonValue& w : o.value(QLatin1String("windows")).toArray()) {
        const QJsonObject wo = w.toObject();
        const auto windowId = id(wo, "id");
        const auto type = text(wo, "type");
        if (!windowId || !type)
            return std::nullopt;
        Window window{*windowId, *type, {}};
        for (const QJsonValue& t : wo.value(QLatin1String("tabs")).toArray()) {
            QJsonObject to = t.toObject();
            to.insert(QLatin1String("windowId"), double(*windowId));
            const auto parsed = tab(to, "id");
            if (!parsed)
                return std::nullopt;
            window.tabs.append(*parsed);
        }
        s.windows.append(window);
    }
    return s;
}

std::optional<Message> windowCreated(const QJsonObject& o) {
    const auto windowId = id(o, "windowId");
    const auto type = text(o, "windowType");
    if (!windowId || !type)
        return std::nullopt;
    return WindowCreated{Window{*windowId, *type, {}}};
}

std::optional<Message> tabCreated(const QJsonObject& o) {
    const auto t = tab(o, "tabId");
    if (!t)
        return std::nullopt;
    return TabCreated{*t};
}

std::optional<Message> navTarget(const QJsonObject& o) {
    NavTarget n;
    const auto tabId = id(o, "tabId");
    const auto source = id(o, "sourceTabId");
    const auto url = text(o, "url");
    if (!tabId || !source || !url || !optionalId(o, "windowId", n.windowId))
        return std::nullopt;
    n.tabId = *tabId;
    n.sourceTabId = *source;
    n.url = *url;
    return n;
}

std::optional<Message> tabUpdated(const QJsonObject& o) {
    const auto tabId = id(o, "tabId");
    if (!tabId)
        return std::nullopt;
    TabUpdated u{*tabId, text(o, "url"), text(o, "title"), std::nullopt};
    const QString status = o.value(QLatin1String("status")).toString();
    if (status == QLatin1String("complete") || status == QLatin1String("loading"))
        u.complete = status == QLatin1String("complete");
    return u;
}

std::optional<Message> tabMoved(const QJsonObject& o) {
    const auto tabId = id(o, "tabId");
    const auto windowId = id(o, "windowId");
    if (!tabId || !windowId)
        return std::nullopt;
    return TabMoved{*tabId, *windowId};
}

std::optional<Message> tabRemoved(const QJsonObject& o) {
    const auto tabId = id(o, "tabId");
    if (!tabId)
        return std::nullopt;
    return TabRemoved{*tabId};
}

std::optional<Message> windowRemoved(const QJsonObject& o) {
    const auto windowId = id(o, "windowId");
    if (!windowId)
        return std::nullopt;
    return WindowRemoved{*windowId};
}

std::optional<Message> done(const QJsonObject& o) {
    const auto commandId = id(o, "id");
    if (!commandId || !o.value(QLatin1String("ok")).isBool())
        return std::nullopt;
    return Done{*commandId, o.value(QLatin1String("ok")).toBool(),
                text(o, "error").value_or(QString())};
}

using Parser = std::optional<Message> (*)(const QJsonObject&);
struct Entry {
    QLatin1String type;
    Parser parse;
};
const Entry kParsers[] = {
    {QLatin1String("hello"), hello},
    {QLatin1String("snapshot"), snapshot},
    {QLatin1String("windowCreated"), windowCreated},
    {QLatin1String("tabCreated"), tabCreated},
    {QLatin1String("navTarget"), navTarget},
    {QLatin1String("tabUpdated"), tabUpdated},
    {QLatin1String("tabMoved"), tabMoved},
    {QLatin1String("tabRemoved"), tabRemoved},
    {QLatin1String("windowRemoved"), windowRemoved},
    {QLatin1String("done"), done},
};

} // namespace

std::optional<Message> parse(const QJsonObject& object) {
    if (object.value(QLatin1String("v")).toInt() != 1)
        return std::nullopt;
    const QString type = object.value(QLatin1String("type")).toString();
    for (const Entry& entry : kParsers) {
        if (type == entry.type)
            return entry.parse(object);
    }
    return std::nullopt;
}

std::optional<Message> parse(QByteArrayView json) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(json.data(), json.size()), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return parse(document.object());
}

} // namespace ExtensionMessages
