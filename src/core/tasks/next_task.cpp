#include "core/tasks/next_task.h"

#include <cstdlib>

namespace quillrun {
namespace {

enum class Outcome { Later, Next, Equal };

// One link of the candidate chain: a fixed field against the current value, or an "every"
// field that has later values unless the current one is its last.
Outcome Link(int field, int current, int last) {
    if (field != kEvery) {
        if (field < current)
            return Outcome::Next;
        if (field > current)
            return Outcome::Later;
        return Outcome::Equal;
    }
    return current != last ? Outcome::Later : Outcome::Equal;
}

// The chain from `start` (0 month, 1 day, 2 hour, 3 minute): true when the pattern has no later
// time in the current period.
bool NoLaterTime(const TaskRecord& t, const LocalTime& now, int start, int lastDay) {
    const int fields[] = {t.EventTime_Month, t.EventTime_Day, t.EventTime_Hour, t.EventTime_Minute};
    const int current[] = {now.month, now.day, now.hour, now.minute};
    const int last[] = {12, lastDay, 23, -2};
    for (int k = start; k < 4; ++k) {
        if (k == 3) {
            if (fields[3] == kEvery)
                return false;
            return fields[3] <= current[3];
        }
        Outcome o = Link(fields[k], current[k], last[k]);
        if (o == Outcome::Next)
            return true;
        if (o == Outcome::Later)
            return false;
    }
    return false;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int RealDaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeap(year))
        return 29;
    return kDays[(month - 1 + 12) % 12];
}

}  // namespace

std::int64_t TimeValue(std::int64_t y, std::int64_t mo, std::int64_t d, std::int64_t h,
                       std::int64_t mi, std::int64_t s) {
    return (y - 1950) * 32140800 + mo * 2678400 + d * 86400 + h * 3600 + mi * 60 + s;
}

int LastDayOfMonth(int month) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return 28;
        default:
            return 31;
    }
}

namespace {

struct Candidate {
    int year, month, day, hour, minute;
};

// The year, month and day the task comes next, each taken from the task or, for "every", from
// now or the next one when nothing of it is left today.
void CandidateDate(const TaskRecord& t, const LocalTime& now, int lastDay, Candidate& c) {
    if (t.EventTime_Year != kEvery) {
        c.year = t.EventTime_Year;
    } else {
        bool next = false;
        if (t.EventTime_Month != kEvery) {
            if (t.EventTime_Month < now.month) {
                next = true;
            } else if (t.EventTime_Month == now.month) {
                next = NoLaterTime(t, now, 1, lastDay);
            }
        } else if (now.month == 12) {
            next = NoLaterTime(t, now, 1, lastDay);
        }
        c.year = next ? now.year + 1 : now.year;
    }
    if (t.EventTime_Month != kEvery) {
        c.month = t.EventTime_Month;
    } else if (c.year != now.year) {
        c.month = 1;
    } else {
        bool next = NoLaterTime(t, now, 1, lastDay);
        c.month = next ? (now.month == 12 ? now.month : now.month + 1) : now.month;
    }
    if (t.EventTime_Day != kEvery) {
        c.day = t.EventTime_Day;
    } else if (c.year != now.year || c.month != now.month) {
        c.day = 1;
    } else {
        bool next = NoLaterTime(t, now, 2, lastDay);
        c.day = next ? (now.day == lastDay ? now.day : now.day + 1) : now.day;
    }
}

// The hour and minute, with the carries of "every minute" in the current hour.
void CandidateTime(const TaskRecord& t, const LocalTime& now, int lastDay, Candidate& c) {
    bool today = c.year == now.year && c.month == now.month && c.day == now.day;
    if (t.EventTime_Hour != kEvery) {
        c.hour = t.EventTime_Hour;
    } else if (!today) {
        c.hour = 0;
    } else if (t.EventTime_Minute != kEvery && t.EventTime_Minute <= now.minute) {
        c.hour = now.hour == 23 ? now.hour : now.hour + 1;
    } else {
        c.hour = now.hour;
    }
    if (t.EventTime_Minute != kEvery) {
        c.minute = t.EventTime_Minute;
    } else if (!today || c.hour != now.hour) {
        c.minute = 0;
    } else if (now.minute < 59) {
        c.minute = now.minute + 1;
    } else {
        c.minute = 0;
        if (c.hour < 23) {
            ++c.hour;
        } else {
            c.hour = 0;
            if (++c.day > lastDay) {
                c.day = 1;
                if (++c.month > 12) {
                    c.month = 1;
                    ++c.year;
                }
            }
        }
    }
}

}  // namespace

NextTask ComputeNextTask(const TaskList& tasks, const LocalTime& clock) {
    NextTask best;
    for (int i = 0; i < tasks.Count(); ++i) {
        // A task with an offset runs at its minute plus the offset: its minute is the one
        // after the clock moved back by the offset (one that falls due while its minute is
        // still to come is behind it, one with a positive offset still ahead).
        std::int32_t offset = tasks.At(i).EventOffsetMs;
        LocalTime now =
            offset == 0 ? clock : FromEpochMilliseconds(ToEpochMilliseconds(clock) - offset);
        const int lastDay = LastDayOfMonth(now.month);
        const std::int64_t nowValue =
            TimeValue(now.year, now.month, now.day, now.hour, now.minute, now.second);
        Candidate c{};
        CandidateDate(tasks.At(i), now, lastDay, c);
        CandidateTime(tasks.At(i), now, lastDay, c);
        std::int64_t value = TimeValue(c.year, c.month, c.day, c.hour, c.minute, 0);
        if (value <= nowValue)
            continue;
        std::int64_t difference = value - nowValue;
        if (!best.found || difference < best.seconds)
            best = NextTask{true, i, c.year, c.month, c.day, c.hour, c.minute, difference};
    }
    return best;
}

WatchDisplay DisplayOf(const NextTask& next, const TaskList& tasks) {
    WatchDisplay d;
    if (!next.found)
        return d;
    d.name = tasks.At(next.index).EventName;
    d.year = std::to_string(next.year);
    d.month = std::to_string(next.month);
    d.day = std::to_string(next.day);
    d.hour = std::to_string(next.hour);
    d.minute = std::to_string(next.minute);
    d.seconds = std::to_string(next.seconds);
    return d;
}

WakeTime WakeTimeFor(const WatchDisplay& display) {
    if (display.name == "None")
        return {3000, 1, 1, 1, 1};
    WakeTime w{std::atoi(display.year.c_str()), std::atoi(display.month.c_str()),
               std::atoi(display.day.c_str()), std::atoi(display.hour.c_str()),
               std::atoi(display.minute.c_str())};
    if (w.minute >= 5) {
        w.minute -= 5;
        return w;
    }
    w.minute += 55;
    if (w.hour >= 1) {
        --w.hour;
        return w;
    }
    w.hour = 23;
    if (--w.day >= 1)
        return w;
    // Before the first of the month: the last day of the previous month, of the real calendar.
    if (--w.month < 1) {
        w.month = 12;
        --w.year;
    }
    w.day = RealDaysInMonth(w.year, w.month);
    return w;
}

bool StandbyCycleTick(AppState& app, const WatchDisplay& display) {
    if (app.standbyArmed != 1)
        return false;
    long long seconds = std::atoll(display.seconds.c_str());
    bool named = display.name != "None";
    if (named && seconds == 1) {
        app.taskFired = 1;
        return false;
    }
    if (app.taskFired != 1)
        return false;
    if (seconds <= 600 && named)
        return false;
    app.taskFired = 0;
    return true;
}

}  // namespace quillrun
