#include "hijack/HijackList.h"

#include <QSet>
#include <QUrl>

namespace HijackList {

namespace {
// Only spaces count: a tab or a line break someone pasted stays part of the pattern.
QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
} // namespace

Typed normalise(const QString& typed) {
    Typed result{typed, false};
    if (trimSpaces(typed).isEmpty())
        return result;
    result.shown = trimSpaces(typed).toLower();
    if (result.shown.startsWith(QLatin1Char('*')))
        result.shown.remove(0, 1);
    const qsizetype star = result.shown.indexOf(QLatin1Char('*'));
    if (star >= 0 && star == result.shown.size() - 1)
        result.shown.chop(1);
    result.usable = !result.shown.isEmpty();
    return result;
}

QStringList distinct(const QStringList& entries) {
    QStringList result;
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (const QString& entry : entries) {
        if (!seen.contains(entry)) {
            seen.insert(entry);
            result.append(entry);
        }
    }
    return result;
}

qsizetype findIgnoringCase(const QStringList& entries, const QString& lowered) {
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).toLower() == lowered)
            return i;
    }
    return -1;
}

QString completeHomePage(const QString& typed) {
    const QString text = typed.trimmed();
    const QUrl url(text, QUrl::StrictMode);
    const bool web =
        url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    return url.isValid() && web && !url.host().isEmpty() ? text : QString();
}

} // namespace HijackList
