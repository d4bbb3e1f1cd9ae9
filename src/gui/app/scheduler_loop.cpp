#include "gui/app/scheduler_loop.h"

#include "core/config/app_state.h"
#include "core/platform/clock.h"

namespace quillrun {

SchedulerLoop::SchedulerLoop(SchedulerHost& host, QObject* parent) : QObject(parent), host_(host) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        // Armed before the tick runs: a browser replay inside it runs the message loop, and the
        // ticks of the following seconds must go on meanwhile.
        Arm();
        Tick();
    });
    Arm();
}

void SchedulerLoop::Arm() {
    timer_.start(scheduler_.MillisecondsToNextTick(App(), CurrentClock().Now()));
}

void SchedulerLoop::Tick() {
    scheduler_.Tick(App(), CurrentClock().Now(), host_);
}

int SchedulerLoop::Remaining() const {
    return timer_.isActive() ? timer_.remainingTime() : -1;
}

void SchedulerLoop::Stop() {
    timer_.stop();
}

}  // namespace quillrun
