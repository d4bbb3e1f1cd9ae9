#include "core/tasks/scheduler.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "core/replay/task_run.h"

namespace quillrun {
namespace {

constexpr long long kMinuteMs = 60000;

bool FieldMatches(std::int32_t field, int current) {
    return field == kEvery || field == current;
}

bool IsSocket(const TaskRecord& task) {
    return task.EventExecType == kExecSocket;
}

long long FloorToMinute(long long ms) {
    return (ms >= 0 ? ms / kMinuteMs : (ms - kMinuteMs + 1) / kMinuteMs) * kMinuteMs;
}

// One key per task and moment: a moment is acted on once, even when ticks repeat it.
std::string RunKey(const TaskRecord& task, long long momentMs) {
    return std::string(task.EventName) + '\t' + task.EventDataFile + '\t' +
           std::to_string(momentMs);
}

}  // namespace

bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now) {
    return FieldMatches(task.EventTime_Year, now.year) &&
           FieldMatches(task.EventTime_Month, now.month) &&
           FieldMatches(task.EventTime_Day, now.day) &&
           FieldMatches(task.EventTime_Hour, now.hour) &&
           FieldMatches(task.EventTime_Minute, now.minute);
}

LocalTime TaskMoment(const LocalTime& minute, std::int32_t offsetMs) {
    LocalTime start = minute;
    start.second = 0;
    start.millisecond = 0;
    return FromEpochMilliseconds(ToEpochMilliseconds(start) + offsetMs);
}

RunSettings TaskRunSettings(const TaskRecord& task) {
    RunSettings settings;
    settings.rule.expectText = Cp932ToUtf8(task.EventExpectText);
    settings.rule.rejectText = Cp932ToUtf8(task.EventRejectText);
    settings.rule.statusRanges = task.EventExpectStatus;
    settings.retry.everyMs = task.EventRetryMs;
    settings.retry.forSeconds = task.EventRetrySeconds;
    settings.notify = task.EventNotify;
    settings.freshHidden = task.EventFreshHidden == 1;
    settings.momentRow = std::max(task.EventMomentRow, 1);
    settings.leadSeconds = task.EventLeadSeconds;
    return settings;
}

LocalTime NextDueMoment(const TaskRecord& task, const LocalTime& moment, int horizonSeconds) {
    long long at = ToEpochMilliseconds(moment);
    long long horizon = at + 1000LL * std::max(horizonSeconds, 0);
    long long minute = at - task.EventOffsetMs;
    minute -= ((minute % 60000) + 60000) % 60000;
    for (long long next = minute + 60000; next + task.EventOffsetMs <= horizon; next += 60000) {
        if (next + task.EventOffsetMs > at && TaskTimeMatches(task, FromEpochMilliseconds(next)))
            return FromEpochMilliseconds(next + task.EventOffsetMs);
    }
    return FromEpochMilliseconds(horizon);
}

namespace {

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The field's values in order: the one fixed, or every one from first to last.
std::vector<int> FieldValues(int value, int first, int last) {
    std::vector<int> values;
    if (value != kEvery) {
        values.push_back(value);
        return values;
    }
    for (int v = first; v <= last; ++v)
        values.push_back(v);
    return values;
}

}  // namespace

bool NextTaskMoment(const TaskRecord& task, const LocalTime& now, LocalTime& next) {
    long long nowMs = ToEpochMilliseconds(now);
    // Eight years cover every 29 February a task of every year may wait for.
    int lastYear = task.EventTime_Year != kEvery ? task.EventTime_Year : now.year + 8;
    for (int year : FieldValues(task.EventTime_Year, now.year, lastYear)) {
        for (int month : FieldValues(task.EventTime_Month, 1, 12)) {
            // Months, days and hours wholly before now are passed over without a look at their
            // minutes (an offset reaches at most half a minute beyond them).
            if (year < now.year || (year == now.year && month < now.month) || month < 1 ||
                month > 12)
                continue;
            bool thisMonth = year == now.year && month == now.month;
            for (int day : FieldValues(task.EventTime_Day, 1, 31)) {
                if (day < 1 || day > DaysInMonth(year, month) || (thisMonth && day < now.day))
                    continue;
                bool today = thisMonth && day == now.day;
                for (int hour : FieldValues(task.EventTime_Hour, 0, 23)) {
                    if (today && hour < now.hour - 1)
                        continue;
                    for (int minute : FieldValues(task.EventTime_Minute, 0, 59)) {
                        long long moment =
                            ToEpochMilliseconds(LocalTime{year, month, day, hour, minute, 0, 0}) +
                            task.EventOffsetMs;
                        if (moment >= nowMs) {
                            next = FromEpochMilliseconds(moment);
                            return true;
                        }
                    }
                }
            }
        }
    }
    return false;
}

bool TaskFallsDueAgain(const TaskRecord& task, const LocalTime& now) {
    LocalTime next;
    return NextTaskMoment(task, now, next);
}

long long LeadMilliseconds(const TaskRecord& task) {
    if (task.EventMomentRow <= 1)
        return 0;
    return 1000LL * std::clamp(task.EventLeadSeconds, 1, kLongestLeadSeconds);
}

int MillisecondsToNextTick(const LocalTime& now) {
    int ms = now.millisecond < 0 ? 0 : (now.millisecond > 999 ? 999 : now.millisecond);
    // One millisecond past the boundary: the clock is read in whole milliseconds, and a tick
    // that fires a hair early would still belong to the second before.
    return 1000 - ms + 1;
}

std::vector<Scheduler::DueRun> Scheduler::DueRuns(
    const AppState& app, long long fromMs, long long toMs, bool socket,
    const std::map<std::string, long long>& done) const {
    std::vector<DueRun> runs;
    for (int i = 0; i < app.tasks.Count(); ++i) {
        const TaskRecord& task = app.tasks.At(i);
        if (task.EventDataFile.empty() || IsSocket(task) != socket)
            continue;
        std::int32_t offset = std::clamp(task.EventOffsetMs, -kOffsetLimitMs, kOffsetLimitMs);
        // A task with lead rows is handed over that much before its moment, as if its offset
        // reached further back: across a minute, hour, day or year all the same.
        long long start = offset - LeadMilliseconds(task);
        // The window is shorter than a minute: at most two minutes have their start in it.
        for (long long minute = FloorToMinute(fromMs + 1 - start); minute + start <= toMs;
             minute += kMinuteMs) {
            if (minute + start <= fromMs || !TaskTimeMatches(task, FromEpochMilliseconds(minute)))
                continue;
            long long moment = minute + offset;
            std::string key = RunKey(task, moment);
            if (done.count(key) == 0)
                runs.push_back({key, task, FromEpochMilliseconds(moment),
                                FromEpochMilliseconds(minute + start)});
        }
    }
    return runs;
}

void Scheduler::Forget(long long nowMs) {
    for (auto* kept : {&acted_, &resolved_, &warned_, &prepared_}) {
        for (auto it = kept->begin(); it != kept->end();) {
            if (it->second < nowMs - 10 * kMinuteMs)
                it = kept->erase(it);
            else
                ++it;
        }
    }
}

// A minute before a task's moment, a clock that no NTP client keeps is worth a word: the
// moment is only as right as the clock.
void Scheduler::WarnOfUnsyncedClock(AppState& app, long long nowMs, SchedulerHost& host) {
    std::vector<DueRun> soon;
    for (bool socket : {true, false}) {
        for (DueRun& run : DueRuns(app, nowMs + 59000, nowMs + 60000, socket, warned_))
            soon.push_back(std::move(run));
    }
    if (soon.empty())
        return;
    for (const DueRun& run : soon)
        warned_[run.key] = ToEpochMilliseconds(run.moment);
    ClockSync sync = clockSync_();
    if (!sync.known || sync.synchronised)
        return;
    host.AddMessage(J("この機械の時計は同期されていません。") + soon.front().task.EventName +
                    J(" は 1 分後にこの時計で実行します"));
}

void Scheduler::ResolveAhead(AppState& app, long long nowMs, SchedulerHost& host) {
    long long from = nowMs + kConnectAheadMilliseconds + 1000;
    for (const DueRun& run :
         DueRuns(app, from, from + kResolveAheadMilliseconds, true, resolved_)) {
        resolved_[run.key] = ToEpochMilliseconds(run.moment);
        host.PrepareSocketReplay(run.task.EventDataFile);
    }
}

// An IE task's start within the next connect-ahead window: the browser is made ready once.
void Scheduler::PrepareBrowserTasks(AppState& app, long long nowMs, SchedulerHost& host) {
    for (const DueRun& run :
         DueRuns(app, nowMs, nowMs + kConnectAheadMilliseconds + 1000, false, prepared_)) {
        prepared_[run.key] = ToEpochMilliseconds(run.moment);
        host.PrepareBrowserReplay(run.task.EventDataFile);
    }
}

// Socket tasks start on their own threads whether or not a browser replay holds the tick.
void Scheduler::StartSocketTasks(AppState& app, long long nowMs, SchedulerHost& host) {
    for (const DueRun& run : DueRuns(app, nowMs - kLateMilliseconds,
                                     nowMs + kConnectAheadMilliseconds + 1000, true, acted_)) {
        acted_[run.key] = ToEpochMilliseconds(run.moment);
        RunSettings settings = TaskRunSettings(run.task);
        host.StartSocketReplay(run.task.EventDataFile, run.task.EventName, run.moment, settings,
                               NextDueMoment(run.task, run.moment, settings.retry.forSeconds));
    }
}

void Scheduler::RunBrowserTask(const DueRun& run, AppState& app, SchedulerHost& host) {
    AnnounceTaskRun(run.task.EventName,
                    [&host](const std::string& text) { host.AddMessage(text); });
    if (app.modalDialog != 1)
        host.ShowReplayView();
    RunSettings settings = TaskRunSettings(run.task);
    host.RunBrowserReplay(run.task.EventDataFile, run.task.EventName, settings, run.moment,
                          NextDueMoment(run.task, run.moment, settings.retry.forSeconds));
}

void Scheduler::Tick(AppState& app, const LocalTime& now, SchedulerHost& host) {
    long long nowMs = ToEpochMilliseconds(now);
    Forget(nowMs);
    if (app.tasks.Count() < 1)
        return;
    WarnOfUnsyncedClock(app, nowMs, host);
    ResolveAhead(app, nowMs, host);
    StartSocketTasks(app, nowMs, host);
    PrepareBrowserTasks(app, nowMs, host);

    std::vector<DueRun> due = DueRuns(app, nowMs - kLateMilliseconds, nowMs, false, acted_);
    for (const DueRun& run : due)
        acted_[run.key] = ToEpochMilliseconds(run.moment);
    if (running_) {
        // An IE task whose moment passes while a browser replay holds the tick waits for the
        // browser and runs right after the replay.
        for (const DueRun& run : due) {
            bool alreadyWaiting = false;
            for (const WaitingRun& waiting : waiting_)
                alreadyWaiting = alreadyWaiting || waiting.name == run.task.EventName;
            if (alreadyWaiting) {
                // An IE task that falls due every minute while a long replay runs would
                // otherwise pile up runs without end; the one already waiting stands for it.
                char when[16];
                std::snprintf(when, sizeof(when), "%02d:%02d", run.moment.hour, run.moment.minute);
                host.AddMessage(std::string(run.task.EventName) + J(" は前の回が再生待ちのため、") +
                                when + J(" の回は実行しません"));
                continue;
            }
            RunSettings settings = TaskRunSettings(run.task);
            waiting_.push_back({run.task.EventName, run.task.EventDataFile, run.moment, settings,
                                NextDueMoment(run.task, run.moment, settings.retry.forSeconds)});
        }
        return;
    }
    if (due.empty())
        return;

    running_ = true;
    for (const DueRun& run : due) {
        // The list may change while a browser replay runs the message loop: a task deleted
        // or changed meanwhile is not started from the old copy.
        bool stillThere = false;
        for (int i = 0; i < app.tasks.Count() && !stillThere; ++i) {
            const TaskRecord& task = app.tasks.At(i);
            long long moment = ToEpochMilliseconds(run.moment);
            stillThere = !IsSocket(task) && RunKey(task, moment) == run.key &&
                         TaskTimeMatches(task, FromEpochMilliseconds(moment - task.EventOffsetMs));
        }
        if (stillThere)
            RunBrowserTask(run, app, host);
    }
    RunWaiting(app, host);
    running_ = false;
}

void Scheduler::RunWaiting(AppState& app, SchedulerHost& host) {
    while (!waiting_.empty()) {
        WaitingRun run = waiting_.front();
        waiting_.pop_front();
        long long late = ToEpochMilliseconds(CurrentClock().Now()) - ToEpochMilliseconds(run.due);
        if (late < 0)
            late = 0;
        AnnounceTaskRun(run.name, [&host](const std::string& text) { host.AddMessage(text); });
        char seconds[32];
        std::snprintf(seconds, sizeof(seconds), "%lld.%03lld", late / 1000, late % 1000);
        host.AddMessage(run.name + J(" はブラウザ再生の終わりを待ったため ") + seconds +
                        J(" 秒遅れて開始しました"));
        if (app.modalDialog != 1)
            host.ShowReplayView();
        host.RunBrowserReplay(run.eventFile, run.name, run.settings, CurrentClock().Now(),
                              run.latest);
    }
}

int Scheduler::MillisecondsToNextTick(const AppState& app, const LocalTime& now) const {
    int delay = quillrun::MillisecondsToNextTick(now);
    long long nowMs = ToEpochMilliseconds(now);
    for (const DueRun& run : DueRuns(app, nowMs, nowMs + delay, false, acted_))
        delay = std::min<long long>(delay, ToEpochMilliseconds(run.start) - nowMs);
    return std::max(delay, 1);
}

}  // namespace quillrun
