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

NextTask ComputeNextTask(const TaskList& tasks, const LocalTime& now) {
    NextTask best;
    const int lastDay = LastDayOfMonth(now.month);
    const std::int64_t nowValue =
        TimeValue(now.year, now.month, now.day, now.hour, now.minute, now.second);
    for (int i = 0; i < tasks.Count(); ++i) {
        const TaskRecord& t = tasks.At(i);
        int cY, cM, cD, ch, cm;
        // Year.
        if (t.EventTime_Year != kEvery) {
            cY = t.EventTime_Year;
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
            cY = next ? now.year + 1 : now.year;
        }
        // Month.
        if (t.EventTime_Month != kEvery) {
            cM = t.EventTime_Month;
        } else if (cY != now.year) {
            cM = 1;
        } else {
            bool next = NoLaterTime(t, now, 1, lastDay);
            cM = next ? (now.month == 12 ? now.month : now.month + 1) : now.month;
        }
        // Day.
        if (t.EventTime_Day != kEvery) {
            cD = t.EventTime_Day;
        } else if (cY != now.year || cM != now.month) {
            cD = 1;
        } else {
            bool next = NoLaterTime(t, now, 2, lastDay);
            cD = next ? (now.day == lastDay ? now.day : now.day + 1) : now.day;
        }
        // Hour.
        bool today = cY == now.year && cM == now.month && cD == now.day;
        if (t.EventTime_Hour != kEvery) {
            ch = t.EventTime_Hour;
        } else if (!today) {
            ch = 0;
        } else if (t.EventTime_Minute != kEvery && t.EventTime_Minute <= now.minute) {
            ch = now.hour == 23 ? now.hour : now.hour + 1;
        } else {
            ch = now.hour;
        }
        // Minute, with the carries of "every minute" in the current hour.
        if (t.EventTime_Minute != kEvery) {
            cm = t.EventTime_Minute;
        } else if (!today || ch != now.hour) {
            cm = 0;
        } else if (now.minute < 59) {
            cm = now.minute + 1;
        } else {
            cm = 0;
            if (ch < 23) {
                ++ch;
            } else {
                ch = 0;
                if (++cD > lastDay) {
                    cD = 1;
                    if (++cM > 12) {
                        cM = 1;
                        ++cY;
                    }
                }
            }
        }
        std::int64_t value = TimeValue(cY, cM, cD, ch, cm, 0);
        if (value <= nowValue)
            continue;
        std::int64_t difference = value - nowValue;
        if (!best.found || difference < best.seconds) {
            best = NextTask{true, i, cY, cM, cD, ch, cm, difference};
        }
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
