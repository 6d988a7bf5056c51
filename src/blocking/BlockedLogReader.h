#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Reading the blocked-ads log back for the viewer, and what its entries mean.
namespace BlockedLogReader {

// The viewer lists this many lines at most: the first 1001 of the file.
constexpr int listedLines = 1001;
// Longer lines are cut here when read; nothing the log writes is anywhere near this long.
constexpr int longestLine = 65536;
// No more of the file is read than this, many times what 1001 records take.
constexpr qint64 mostRead = 16 * 1024 * 1024;

// The first `maxLines` lines of the file in file order, each without its line end. A file that
// cannot be read gives no lines. The file may hold anything: bytes that are not UTF-8 become
// replacement characters, control characters their visible pictures, and a very long line is cut
// at longestLine characters while the rest of it is skipped. Reading stops after mostRead bytes.
// `afterEachLine` (optional) runs after each line with the lines so far; false stops the reading.
QStringList readFirstLines(const QString& path, int maxLines = listedLines,
                           const std::function<bool(const QStringList&)>& afterEachLine = {});

// The viewer's counts line: "N popup ads this session, M total ads logged.".
QString countsText(qint32 loggedThisSession, qsizetype linesListed);

// What a double click on an entry opens.
struct EntryTarget {
    enum Kind {
        Nothing, // a separator or an empty line
        Web,     // `address` is a web address to open
        Refused, // the entry names something other than a web page; `address` says what
    };
    Kind kind = Nothing;
    QString address;
};
// A separator ("------") opens nothing. Otherwise the address is the text before the first
// "<===>"; it gets "http://" in front when it has no scheme, loses any text before its "http",
// and is refused when it names another kind of address (file:, javascript:, about: …).
EntryTarget targetOfEntry(const QString& entry);

} // namespace BlockedLogReader
