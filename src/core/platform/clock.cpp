#include "core/platform/clock.h"

#include <sys/time.h>

#include <atomic>
#include <ctime>

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

}  // namespace

LocalTime SystemClock::Now() const {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm parts;
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &parts);
    return FromParts(parts, static_cast<int>(tv.tv_usec / 1000));
}

long long ToEpochMilliseconds(const LocalTime& t) {
    struct tm parts {};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    return static_cast<long long>(timegm(&parts)) * 1000 + t.millisecond;
}

LocalTime FromEpochMilliseconds(long long ms) {
    long long seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    time_t whole = static_cast<time_t>(seconds);
    struct tm parts {};
    gmtime_r(&whole, &parts);
    return FromParts(parts, static_cast<int>(ms - seconds * 1000));
}

const Clock& CurrentClock() {
    return *g_clock.load();
}

void SetCurrentClock(const Clock* clock) {
    g_clock.store(clock ? clock : &g_systemClock);
}

}  // namespace quillrun
