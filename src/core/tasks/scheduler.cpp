#include "core/tasks/scheduler.h"

#include <cstdio>

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

bool IsDue(const TaskRecord& task, const LocalTime& now) {
    return TaskTimeMatches(task, now) && task.EventDataFile[0] != '\0';
}

void Announce(const std::string& name, SchedulerHost& host) {
    std::string text = J("イベント実行 ") + name;
    WriteLog(text, false);
    host.AddMessage(text);
}

}  // namespace

bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now) {
    return FieldMatches(task.EventTime_Year, now.year) &&
           FieldMatches(task.EventTime_Month, now.month) &&
           FieldMatches(task.EventTime_Day, now.day) &&
           FieldMatches(task.EventTime_Hour, now.hour) &&
           FieldMatches(task.EventTime_Minute, now.minute);
}

int MillisecondsToNextTick(const LocalTime& now) {
    int ms = now.millisecond < 0 ? 0 : (now.millisecond > 999 ? 999 : now.millisecond);
    // One millisecond past the boundary: the clock is read in whole milliseconds, and a tick
    // that fires a hair early would still belong to the second before.
    return 1000 - ms + 1;
}

void Scheduler::StartTask(const TaskRecord& task, AppState& app, SchedulerHost& host) {
    Announce(task.EventName, host);
    if (task.EventExecType == kExecSocket) {
        host.StartSocketReplay(task.EventDataFile, task.EventName);
    } else {
        if (app.modalDialog != 1)
            host.ShowReplayView();
        host.RunBrowserReplay(task.EventDataFile, task.EventName);
    }
}

void Scheduler::Tick(AppState& app, const LocalTime& now, SchedulerHost& host) {
    if (now.second >= kPrepareSecond)
        PrepareNextMinute(app, now, host);
    if (now.second > kLateTickSeconds)
        return;
    long long minute = MinuteKey(now);
    if (minute == lastMinute_)
        return;
    lastMinute_ = minute;
    if (app.tasks.Count() < 1)
        return;
    if (running_) {
        TickDuringReplay(app, now, host);
        return;
    }

    running_ = true;
    // The list may change while a browser replay runs the message loop: index afresh each time
    // and work on a copy of the record.
    for (int i = 0; i < app.tasks.Count(); ++i) {
        TaskRecord task = app.tasks.At(i);
        if (IsDue(task, now))
            StartTask(task, app, host);
    }
    RunWaiting(app, host);
    running_ = false;
}

// A minute whose second 0 passes while a browser replay holds the tick: Socket tasks start on
// time on their own threads; IE tasks wait for the browser and run right after the replay.
void Scheduler::TickDuringReplay(AppState& app, const LocalTime& now, SchedulerHost& host) {
    LocalTime due = now;
    due.second = 0;
    due.millisecond = 0;
    for (int i = 0; i < app.tasks.Count(); ++i) {
        TaskRecord task = app.tasks.At(i);
        if (!IsDue(task, now))
            continue;
        if (task.EventExecType == kExecSocket) {
            StartTask(task, app, host);
            continue;
        }
        bool alreadyWaiting = false;
        for (const WaitingRun& run : waiting_)
            alreadyWaiting = alreadyWaiting || run.name == task.EventName;
        if (alreadyWaiting) {
            // An IE task that falls due every minute while a long replay runs would otherwise
            // pile up runs without end; the one already waiting stands for this one.
            char when[16];
            std::snprintf(when, sizeof(when), "%02d:%02d", now.hour, now.minute);
            host.AddMessage(std::string(task.EventName) + J(" は前の回が再生待ちのため、") + when +
                            J(" の回は実行しません"));
            continue;
        }
        waiting_.push_back({task.EventName, task.EventDataFile, due});
    }
}

void Scheduler::RunWaiting(AppState& app, SchedulerHost& host) {
    while (!waiting_.empty()) {
        WaitingRun run = waiting_.front();
        waiting_.pop_front();
        long long late = ToEpochMilliseconds(CurrentClock().Now()) - ToEpochMilliseconds(run.due);
        if (late < 0)
            late = 0;
        Announce(run.name, host);
        char seconds[32];
        std::snprintf(seconds, sizeof(seconds), "%lld.%03lld", late / 1000, late % 1000);
        host.AddMessage(run.name + J(" はブラウザ再生の終わりを待ったため ") + seconds +
                        J(" 秒遅れて開始しました"));
        if (app.modalDialog != 1)
            host.ShowReplayView();
        host.RunBrowserReplay(run.eventFile, run.name);
    }
}

void Scheduler::PrepareNextMinute(AppState& app, const LocalTime& now, SchedulerHost& host) {
    LocalTime next = FromEpochMilliseconds(ToEpochMilliseconds(now) + 60000);
    next.second = 0;
    next.millisecond = 0;
    long long minute = MinuteKey(next);
    if (minute == lastPrepared_)
        return;
    lastPrepared_ = minute;
    for (int i = 0; i < app.tasks.Count(); ++i) {
        const TaskRecord& task = app.tasks.At(i);
        if (task.EventExecType == kExecSocket && IsDue(task, next))
            host.PrepareSocketReplay(task.EventDataFile);
    }
}

}  // namespace quillrun
