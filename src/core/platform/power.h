// Standby with a wake-up timer, behind an interface: the desktop's implementation arms the
// machine's wake alarm and suspends; tests use a fake.
#pragma once

namespace quillrun {

enum class SuspendResult {
    Resumed,           // suspended, and back after the wake
    WakeTimerRefused,  // the wake timer could not be armed: the machine was not suspended
    SuspendRefused,    // the system refused to suspend
};

class Power {
  public:
    virtual ~Power() = default;
    // Arms the wake timer for the local time given and suspends the machine; returns after the
    // wake. A wake timer that cannot be armed suspends nothing: the machine would not come
    // back for the task.
    virtual SuspendResult SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                               int second) = 0;
};

}  // namespace quillrun
