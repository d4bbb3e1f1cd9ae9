// Standby with a wake-up timer, behind an interface: the desktop's implementation arms the
// machine's wake alarm and suspends; tests use a fake.
#pragma once

namespace quillrun {

class Power {
  public:
    virtual ~Power() = default;
    // Arms the wake timer for the local time given and suspends the machine. Returns after the
    // wake; false when the suspend was refused (it then returns at once).
    virtual bool SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                      int second) = 0;
};

}  // namespace quillrun
