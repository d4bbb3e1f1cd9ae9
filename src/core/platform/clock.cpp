#include "core/platform/clock.h"

#include <sys/time.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "core/platform/power.h"

namespace quillrun {
namespace {

SystemClock g_systemClock;
std::atomic<const Clock*> g_clock{&g_systemClock};

LocalTime FromParts(const struct tm& parts, int millisecond) {
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;  // a leap second counts as 59
    t.millisecond = millisecond;
    return t;
}

struct tm PartsOf(const LocalTime& t) {
    struct tm parts {};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    return parts;
}

}  // namespace

LocalTime SystemClock::Now() const {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm parts;
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &parts);
    return FromParts(parts, static_cast<int>(tv.tv_usec / 1000));
}

void Clock::SleepUntil(const LocalTime& moment) const {
    if (ToEpochMilliseconds(Now()) < ToEpochMilliseconds(moment))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SystemClock::SleepUntil(const LocalTime& moment) const {
    // A sleeping thread wakes up to a millisecond late (more in a virtual machine): it sleeps
    // until shortly before the moment and spends the rest of the way awake.
    constexpr long long kAwakeNanoseconds = 2000000;
    long long target = WallMillisecondsOf(moment) * 1000000LL;
    long long wake = target - kAwakeNanoseconds;
    struct timespec until;
    until.tv_sec = static_cast<time_t>(wake / 1000000000LL);
    until.tv_nsec = static_cast<long>(wake % 1000000000LL);
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    long long reached = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    // Awake only when the sleep ended near the moment: a clock set back meanwhile sends the
    // caller round to sleep again rather than spin.
    while (reached < target && target - reached <= 2 * kAwakeNanoseconds) {
        clock_gettime(CLOCK_REALTIME, &now);
        reached = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }
}

void WaitForMoment(const Clock& clock, const LocalTime& moment) {
    long long target = ToEpochMilliseconds(moment);
    while (ToEpochMilliseconds(clock.Now()) < target)
        clock.SleepUntil(moment);
}

long long WallMillisecondsOf(const LocalTime& t) {
    struct tm parts = PartsOf(t);
    parts.tm_isdst = -1;  // the zone's rules decide
    return static_cast<long long>(mktime(&parts)) * 1000 + t.millisecond;
}

long long ToEpochMilliseconds(const LocalTime& t) {
    struct tm parts = PartsOf(t);
    return static_cast<long long>(timegm(&parts)) * 1000 + t.millisecond;
}

LocalTime FromEpochMilliseconds(long long ms) {
    long long seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    time_t whole = static_cast<time_t>(seconds);
    struct tm parts {};
    gmtime_r(&whole, &parts);
    return FromParts(parts, static_cast<int>(ms - seconds * 1000));
}

long long WakeAlarmSeconds(int year, int month, int day, int hour, int minute, int second) {
    return WallMillisecondsOf(LocalTime{year, month, day, hour, minute, second, 0}) / 1000;
}

std::string DateTimeText(const LocalTime& t) {
    char text[48];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

const Clock& CurrentClock() {
    return *g_clock.load();
}

void SetCurrentClock(const Clock* clock) {
    g_clock.store(clock ? clock : &g_systemClock);
}

}  // namespace quillrun
