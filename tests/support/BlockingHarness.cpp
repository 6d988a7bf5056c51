#include "support/BlockingHarness.h"

#include <QFile>
#include <QTest>

QByteArray readLogFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList logFileLines(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    if (text.isEmpty())
        return {};
    if (!text.endsWith(QStringLiteral("\r\n")))
        QTest::qFail("the log does not end with CR LF", __FILE__, __LINE__);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
            QTest::qFail("a log line holds a bare CR or LF", __FILE__, __LINE__);
    }
    return lines;
}
