#include "support/BlockingHarness.h"

#include <QFile>
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
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList BlockingHarness::logLines() const {
    QStringList lines = QString::fromUtf8(logBytes()).split(QStringLiteral("\r\n"));
    lines.removeLast(); // what follows the last CR LF: nothing in a well-formed log
    return lines;
}
