// Standby on a Linux desktop: the RTC wake alarm for the wake time, then a suspend through
// logind (org.freedesktop.login1 Manager.Suspend), returning when logind reports the resume.
#pragma once

#include <string>

#include "core/platform/power.h"

namespace quillrun {

class LinuxPower : public Power {
  public:
    SuspendResult SuspendWithWakeTimer(int year, int month, int day, int hour, int minute,
                                       int second) override;

    // The first half of it: arms the RTC alarm for the wake time made real (Resumed when armed,
    // with the alarm's seconds since the epoch), or says why not.
    static SuspendResult ArmWakeAlarm(int year, int month, int day, int hour, int minute,
                                      int second, long long& armedSeconds);
};

// Where the RTC's wake alarm is written (tests name a file of their own).
void SetWakeAlarmPath(const std::string& path);  // "" restores /sys/class/rtc/rtc0/wakealarm

// The power of the running program (tests install a fake).
Power& ThePower();
void SetPower(Power* power);  // nullptr restores the desktop's

}  // namespace quillrun
