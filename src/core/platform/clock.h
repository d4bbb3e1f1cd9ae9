// Local time as the program reads it, behind an interface so that tests can set the time.
#pragma once

#include <string>

namespace quillrun {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
    // Sleeps until the clock reads `moment`, or less long (a signal, a clock that was set):
    // callers read Now() again. This one sleeps a millisecond at a time.
    virtual void SleepUntil(const LocalTime& moment) const;
};

// The machine's local time.
class SystemClock : public Clock {
  public:
    LocalTime Now() const override;
    // Sleeps on the wall clock itself (CLOCK_REALTIME, absolute), so a clock set forward or
    // back meanwhile moves the wake-up with it.
    void SleepUntil(const LocalTime& moment) const override;
};

// Returns when the clock reads `moment` or later, at once when it already does.
void WaitForMoment(const Clock& clock, const LocalTime& moment);

// Seconds and milliseconds since the Unix epoch of a local time (the time zone's rules, a time
// inside a daylight-saving gap taken as the zone's library takes it).
long long WallMillisecondsOf(const LocalTime& t);

// The fields as a count of milliseconds on a calendar without time zones (the fields taken as
// UTC), for differences between two local times and for stepping over month and year ends.
long long ToEpochMilliseconds(const LocalTime& t);
LocalTime FromEpochMilliseconds(long long ms);

// "YYYY-MM-DD hh:mm:ss.mmm".
std::string DateTimeText(const LocalTime& t);

// The clock the program reads: the system clock unless a test installed another.
const Clock& CurrentClock();
void SetCurrentClock(const Clock* clock);  // nullptr restores the system clock

}  // namespace quillrun
