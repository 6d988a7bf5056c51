#include "blocking/BlockedLogReader.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockingLogging.h"
#include "shell/UrlTokens.h"

#include <QFile>

namespace BlockedLogReader {

namespace {

// One line of the file as the list shows it.
QString entryText(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromUtf8(line); // invalid bytes become U+FFFD
    for (QChar& c : text) {
        // A control character would scramble the list (or hide what follows it): show its
        // picture instead, as terminals do.
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    return text;
}

} // namespace

QStringList readFirstLines(const QString& path, int maxLines,
                           const std::function<bool(const QStringList&)>& afterEachLine) {
    QStringList lines;
    QFile file;
    QString error;
    if (!openLogFile(file, path, false, &error)) {
        qCDebug(lcBlocking) << "cannot read the blocked-ads log" << path << error;
        return lines;
    }
    // A log that is one endless line is read only as far as the viewer can use it.
    while (!file.atEnd() && lines.size() < maxLines && file.pos() < mostRead) {
        QByteArray line = file.readLine(longestLine);
        if (line.isEmpty() && file.error() != QFileDevice::NoError) {
            qCDebug(lcBlocking) << "reading the blocked-ads log failed" << file.errorString();
            break;
        }
        // A line cut off at longestLine: skip the rest of it without keeping it, within the
        // lines' share of the reading.
        for (QByteArray rest = line;
             !rest.endsWith('\n') && !file.atEnd() && file.pos() < mostRead;)
            rest = file.readLine(longestLine);
        lines.append(entryText(line));
        if (afterEachLine && !afterEachLine(lines))
            break;
    }
    return lines;
}

QString countsText(qint32 loggedThisSession, qsizetype linesListed) {
    return QString::number(loggedThisSession) + QStringLiteral(" popup ads this session, ") +
           QString::number(linesListed) + QStringLiteral(" total ads logged.");
}

EntryTarget targetOfEntry(const QString& entry) {
    if (entry.contains(QLatin1String("------")) || entry.trimmed().isEmpty())
        return {};
    QString address = entry;
    const qsizetype mark = address.indexOf(QLatin1String("<===>"));
    if (mark >= 0)
        address.truncate(mark);
    address = address.trimmed();
    if (address.isEmpty())
        return {};
    if (const auto web = webAddressOf(address))
        return {EntryTarget::Web, *web};
    return {EntryTarget::Refused, address};
}

} // namespace BlockedLogReader
