#include "support/BlockingHarness.h"

#include <QFile>
#include <QTest>
#include <QTimer>

BlockingHarness::BlockingHarness(double scale) : BlockingHarness(nullptr, nullptr, scale) {}

BlockingHarness::BlockingHarness(BrowserWindows& windows, Clock& realClock)
    : BlockingHarness(&windows, &realClock, 1.0) {}

BlockingHarness::BlockingHarness(BrowserWindows* windows, Clock* realClock, double scale)
    : clock(scale),
      log(dir.filePath(QStringLiteral("skipped_sites.txt")), realClock ? *realClock : clock, state),
      context{windows ? *windows : browser,    options,  state,  settings, log,
              realClock ? *realClock : clock,  messages, beeper, pointer,  view,
              QStringLiteral("Pagewarden 8.0")} {
    clock.date = QStringLiteral("12/4/2026");
    clock.time = QStringLiteral("10:17:46 PM");
    pass.setDelayObserver([this](double) { ++delays; });
    controller.surveyPass().setDelayObserver([this](double) { ++delays; });
    redirect.delayObserver = [this](double) { ++delays; };
}

void BlockingHarness::at(int ms, std::function<void()> what) {
    QTimer::singleShot(ms, &browser, std::move(what));
}

QByteArray BlockingHarness::logBytes() const {
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList BlockingHarness::logLines() const {
    const QString text = QString::fromUtf8(logBytes());
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
