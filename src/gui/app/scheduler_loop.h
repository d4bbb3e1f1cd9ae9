// The scheduler's one-second tick on the user-interface thread: a precise single shot armed
// again before every tick for just past the next whole second, so it neither drifts nor keeps
// the phase it was started at. The desktop window and the headless program both run one.
#pragma once

#include <QObject>
#include <QTimer>

#include "core/tasks/scheduler.h"

namespace quillrun {

class SchedulerLoop : public QObject {
    Q_OBJECT
  public:
    SchedulerLoop(SchedulerHost& host, QObject* parent = nullptr);
    // One tick now, against the program's clock.
    void Tick();
    // Milliseconds until the next tick (-1 when stopped).
    int Remaining() const;
    void Stop();

  private:
    void Arm();

    QTimer timer_;
    Scheduler scheduler_;
    SchedulerHost& host_;
};

}  // namespace quillrun
