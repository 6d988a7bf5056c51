#include "platform/Waits.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QTimer>

Wait::~Wait() {
    for (const auto& c : m_connections)
        QObject::disconnect(c);
}

bool Wait::sleep(double seconds) {
    m_woken = false;
    const int ms =
        seconds > 0 ? m_clock.timerInterval(static_cast<int>(seconds * 1000.0 + 0.5)) : 0;
    if (ms <= 0) {
        processPendingEvents();
        return false;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return m_woken;
}

void Wait::processPendingEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Wait::wake() {
    m_woken = true;
    if (m_loop)
        m_loop->quit();
}

void waitSeconds(const Clock& clock, double seconds) {
    const double end = clock.now() + seconds;
    Wait wait(clock);
    // Sleep in one piece; a wake-up cannot happen here, but the loop keeps the promise that the
    // wait lasts its full length even if the timer fires a little early.
    while (clock.now() < end)
        wait.sleep(end - clock.now());
}

namespace AnswerWait {
namespace {
const void* s_owner = nullptr;
Work& work() {
    static Work w;
    return w;
}
} // namespace

void setWork(const void* owner, Work w) {
    s_owner = owner;
    work() = std::move(w);
}

void clearWork(const void* owner) {
    if (s_owner != owner)
        return;
    s_owner = nullptr;
    work() = {};
}

void workUntil(const std::function<bool()>& answered) {
    // A copy: the work may end its owner's registration while it runs.
    if (const Work w = work())
        w(answered);
}
} // namespace AnswerWait
