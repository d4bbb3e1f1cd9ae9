#include "core/tasks/scheduler.h"

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"

namespace quillrun {
namespace {

bool FieldMatches(std::int32_t field, int current) {
    return field == kEvery || field == current;
}

long long MinuteKey(const LocalTime& t) {
    return ((((static_cast<long long>(t.year) * 13 + t.month) * 32 + t.day) * 24 + t.hour) * 60) +
           t.minute;
}

}  // namespace

bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now) {
    return FieldMatches(task.EventTime_Year, now.year) &&
           FieldMatches(task.EventTime_Month, now.month) &&
           FieldMatches(task.EventTime_Day, now.day) &&
           FieldMatches(task.EventTime_Hour, now.hour) &&
           FieldMatches(task.EventTime_Minute, now.minute);
}

void Scheduler::Tick(AppState& app, const LocalTime& now, SchedulerHost& host) {
    if (now.second > kLateTickSeconds)
        return;
    long long minute = MinuteKey(now);
    if (minute == lastMinute_)
        return;
    // A tick that arrives while a browser replay holds the previous one takes its minute with
    // it: ticks never overlap and a passed minute is not run late.
    lastMinute_ = minute;
    if (running_)
        return;
    if (app.tasks.Count() < 1)
        return;

    running_ = true;
    // The list may change while a browser replay runs the message loop: index afresh each time
    // and work on a copy of the record.
    for (int i = 0; i < app.tasks.Count(); ++i) {
        TaskRecord task = app.tasks.At(i);
        if (!TaskTimeMatches(task, now))
            continue;
        if (task.EventDataFile[0] == '\0')
            continue;

        std::string text = J("イベント実行 ") + task.EventName;
        WriteLog(text, false);
        host.AddMessage(text);

        if (task.EventExecType == kExecSocket) {
            host.StartSocketReplay(task.EventDataFile);
        } else {
            if (app.modalDialog != 1)
                host.ShowReplayView();
            host.RunBrowserReplay(task.EventDataFile);
        }
    }
    running_ = false;
}

}  // namespace quillrun
