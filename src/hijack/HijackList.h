#pragma once

#include <QString>
#include <QStringList>

// The rules of the hijack list as the editor applies them, apart from any control.
namespace HijackList {

// A pattern typed by hand, made ready for the list: trimmed of spaces, in lower case, without a
// star at its start or a lone star at its end (a star anywhere else stays and is compared
// literally). `shown` is what the entry box then holds; `usable` is false when nothing is left to
// add or remove (the box is then left as the user typed it if it held only spaces).
struct Typed {
    QString shown;
    bool usable = false;
};
Typed normalise(const QString& typed);

// The list's entries with later copies of an entry dropped, in their order: what the passes use.
QStringList distinct(const QStringList& entries);

// Position of the first entry whose lower-case form is `lowered`, or -1.
qsizetype findIgnoringCase(const QStringList& entries, const QString& lowered);

// The home page `typed` names when it is a complete web address (http or https, with a host), with
// the spaces around it dropped; empty for anything else ("http://", "htt", an address still being
// typed into the box), which then never becomes the home page.
QString completeHomePage(const QString& typed);

} // namespace HijackList
