// Whether the machine's clock is kept right: the kernel's synchronisation state, as an NTP
// client (systemd-timesyncd, chrony) leaves it.
#pragma once

#include <string>

struct timex;

namespace quillrun {

struct ClockSync {
    bool known = false;         // the kernel answered
    bool synchronised = false;  // an NTP client keeps the clock
    long estimatedErrorMicroseconds = 0;
    long maximumErrorMicroseconds = 0;
};

// What an answer of adjtimex (its return value and the structure it filled) says.
ClockSync ClockSyncOf(int state, const struct timex& answer);
// Asks the kernel now (read only).
ClockSync ReadClockSync();

// The Task watch's line: "時刻同期 ±N ms" or "時刻未同期" (CP932).
std::string ClockSyncLabel(const ClockSync& sync);
// The message-list line said at start when no NTP client keeps the clock; empty otherwise.
std::string UnsyncedClockMessage(const ClockSync& sync);
// --clock's lines (ASCII).
std::string ClockSyncReport(const ClockSync& sync);

}  // namespace quillrun
