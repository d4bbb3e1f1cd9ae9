// Local time as the program reads it, behind an interface so that tests can set the time.
#pragma once

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
};

// The machine's local time.
class SystemClock : public Clock {
  public:
    LocalTime Now() const override;
};

// The fields as a count of milliseconds on a calendar without time zones (the fields taken as
// UTC), for differences between two local times and for stepping over month and year ends.
long long ToEpochMilliseconds(const LocalTime& t);
LocalTime FromEpochMilliseconds(long long ms);

// The clock the program reads: the system clock unless a test installed another.
const Clock& CurrentClock();
void SetCurrentClock(const Clock* clock);  // nullptr restores the system clock

}  // namespace quillrun
