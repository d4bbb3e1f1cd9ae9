// Standby on a Linux desktop: the RTC wake alarm for the wake time, then a suspend through
// logind (org.freedesktop.login1 Manager.Suspend), returning when logind reports the resume.
#pragma once

#include "core/platform/power.h"

namespace quillrun {

class LinuxPower : public Power {
  public:
    SuspendResult SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                       int second) override;
};

// The power of the running program (tests install a fake).
Power& ThePower();
void SetPower(Power* power);  // nullptr restores the desktop's

}  // namespace quillrun
