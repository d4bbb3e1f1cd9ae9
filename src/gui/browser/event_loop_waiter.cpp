#include "gui/browser/event_loop_waiter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace quillrun {

void WaitOnEventLoopUntil(const LocalTime& moment) {
    long long left = ToEpochMilliseconds(moment) - ToEpochMilliseconds(CurrentClock().Now());
    if (left > 2) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(left - 1));
        loop.exec();
    }
    WaitForMoment(CurrentClock(), moment);
}

void EventLoopWaiter::Pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool EventLoopWaiter::WaitUntilNotBusy(const Browser& browser) {
    if (!browser.Busy())
        return true;
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!browser.Busy()) {
            done = true;
            loop.quit();
        } else if (elapsed.elapsed() >= busyLimit_) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return done;
}

}  // namespace quillrun
