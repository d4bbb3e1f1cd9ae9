// The next task as the Task watch shows it, on a calendar of 31-day months, and the standby
// cycle's arithmetic: the wake time five minutes before it and the decisions of the watch's
// timer.
#pragma once

#include <cstdint>
#include <string>

#include "core/config/app_state.h"
#include "core/platform/clock.h"

namespace quillrun {

// (Y - 1950) x 32140800 + M x 2678400 + D x 86400 + h x 3600 + m x 60 + s.
std::int64_t TimeValue(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                       std::int64_t minute, std::int64_t second);
// 31, 30, or 28 for February in every year.
int LastDayOfMonth(int month);

struct NextTask {
    bool found = false;
    int index = -1;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::int64_t seconds = 0;  // until it runs
};

// The task that runs next (the smallest positive difference; the earlier in the list on ties).
// A task with an offset is shown with the minute whose moment (minute plus offset) is still to
// come, and its difference counts to that moment.
NextTask ComputeNextTask(const TaskList& tasks, const LocalTime& now);

// What the watch shows: the name (or "None") and the texts of year, month, day, hour, minute and
// seconds ("%d", the seconds as a 64-bit number; empty for "None").
struct WatchDisplay {
    std::string name = "None";
    std::string year, month, day, hour, minute, seconds;
};
WatchDisplay DisplayOf(const NextTask& next, const TaskList& tasks);

struct WakeTime {
    int year, month, day, hour, minute;
};

// Five minutes before the shown task, borrowing into the previous day, month and year with the
// real calendar; 3000-01-01 01:01 when the watch shows "None".
WakeTime WakeTimeFor(const WatchDisplay& display);

// One tick of the watch's timer for the standby cycle: sets the task-fired flag when the next
// task is one second away, and says when the resume dialog is to open (clearing the flag).
bool StandbyCycleTick(AppState& app, const WatchDisplay& display);

}  // namespace quillrun
