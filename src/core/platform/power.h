// Standby with a wake-up timer, behind an interface: the desktop's implementation arms the
// machine's wake alarm and suspends; tests use a fake.
#pragma once

namespace quillrun {

enum class SuspendResult {
    Resumed,           // suspended, and back after the wake
    WakeTimerRefused,  // the wake timer could not be armed: the machine was not suspended
    SuspendRefused,    // the system refused to suspend
    WakeTimeInPast,    // the wake time has passed: the alarm would never ring, nothing suspended
};

// The moment (seconds since the epoch) an RTC alarm for a local wake time rings: the local
// time as the time zone's rules make it real. A day beyond its month's end runs on into the
// next month and a time inside a daylight-saving gap moves to the gap's end, so the alarm is
// never later than the task can really run.
long long WakeAlarmSeconds(int year, int month, int day, int hour, int minute, int second);

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
