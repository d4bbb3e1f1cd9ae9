// core/tasks: when tasks run: the scheduler tick, the next task and standby, the Task page's
// form and --at moments. The top of core: depends on replay and config.
//
// The scheduler tick: every task whose time pattern matches a local minute fires at that
// minute's start plus its own offset. Socket tasks are handed to their sender a little ahead,
// so that the connection is open and only the write is left at the moment; IE tasks start
// their browser replay at the moment, in list order.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "core/config/app_state.h"
#include "core/platform/clock.h"
#include "core/platform/clock_sync.h"
#include "core/replay/success_rule.h"

namespace quillrun {

// What the tick calls out to. The GUI implements it; tests record the calls.
class SchedulerHost {
  public:
    virtual ~SchedulerHost() = default;
    // A time-stamped row of the Record page's message list.
    virtual void AddMessage(const std::string& text) = 0;
    // Starts the socket sender on a thread of its own that owns its copies of the texts: it
    // connects for the first row now and writes the first request at `moment` (at once when
    // that has passed), announcing the task's run then. The task's name names its run report.
    // The task's settings say when its run succeeded and how long it may be tried again (up
    // to `latest`, the task's next due moment).
    virtual void StartSocketReplay(const std::string& eventFile, const std::string& taskName,
                                   const LocalTime& moment, const RunSettings& settings,
                                   const LocalTime& latest) = 0;
    // Selects the Record page's recording and replay view (redrawn only when it was not shown).
    virtual void ShowReplayView() = 0;
    // Replays the file through the browser; returns when the whole file has been gone through.
    // Ticks go on meanwhile (the replay runs the message loop) and may re-enter Tick.
    virtual void RunBrowserReplay(const std::string& eventFile, const std::string& taskName,
                                  const RunSettings& settings, const LocalTime& moment,
                                  const LocalTime& latest) = 0;
    // A Socket task falls due in a few seconds: work that would delay its connection (finding
    // the server's address) may be done now, off the user-interface thread.
    virtual void PrepareSocketReplay(const std::string& /*eventFile*/) {}
    // An IE task's run starts in a second or two: the replay view may be shown now and the
    // browser's connection to the first row's site opened, so that neither waits at the moment.
    virtual void PrepareBrowserReplay(const std::string& /*eventFile*/) {}
};

// True when every time field is -1 or equal to the current value (seconds play no part).
bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now);

// The moment a task fires for a minute: the minute's start (its seconds and milliseconds
// ignored) plus the offset, which may reach into the minute before.
LocalTime TaskMoment(const LocalTime& minute, std::int32_t offsetMs);

// Whether the task falls due at some moment from `now` on: false for a task whose fixed date
// and time have passed (a one-time task registered for a minute gone by) or never come (30
// February), which the scheduler would never run.
bool TaskFallsDueAgain(const TaskRecord& task, const LocalTime& now);
// The task's next moment from `now` on (its offset included); false when it has none.
bool NextTaskMoment(const TaskRecord& task, const LocalTime& now, LocalTime& next);

// How long before its moment a task's run starts: its lead seconds when it has a moment row
// after the first, else 0.
long long LeadMilliseconds(const TaskRecord& task);

// The settings of a task's run: its success rule, retry window and notification choice.
RunSettings TaskRunSettings(const TaskRecord& task);
// The moment the task falls due next after `moment`, looked for within `horizonSeconds`; the
// horizon's end when it does not fall due before.
LocalTime NextDueMoment(const TaskRecord& task, const LocalTime& moment, int horizonSeconds);

// Milliseconds from now until just past the next whole second, where the next tick belongs:
// a tick armed this way runs within a millisecond or two of each second's start.
int MillisecondsToNextTick(const LocalTime& now);

class Scheduler {
  public:
    // A tick may come late; a moment is still acted on within this long after it, once.
    static constexpr int kLateMilliseconds = 3000;
    // Socket tasks start this long before their moment (ticks come once a second, so between
    // this and a second more), to connect and get the request ready.
    static constexpr int kConnectAheadMilliseconds = 2000;
    // Their hosts are looked up this long before that.
    static constexpr int kResolveAheadMilliseconds = 5000;

    void Tick(AppState& app, const LocalTime& now, SchedulerHost& host);

    // Where the clock's synchronisation state is read (tests give their own).
    void SetClockSyncReader(std::function<ClockSync()> reader) { clockSync_ = std::move(reader); }

    // Milliseconds until the next tick: just past the next whole second, or an IE task's moment
    // when that comes first.
    int MillisecondsToNextTick(const AppState& app, const LocalTime& now) const;

  private:
    // An IE task that fell due while a browser replay held the tick; it runs right after.
    struct WaitingRun {
        std::string name;
        std::string eventFile;
        LocalTime due;
        RunSettings settings;
        LocalTime latest;
    };
    // A task's moment that has come within reach, and when its run starts: the moment, or
    // its lead seconds before when rows go ahead of its moment row.
    struct DueRun {
        std::string key;
        TaskRecord task;
        LocalTime moment;
        LocalTime start;
    };

    // The runs of the tasks of the given kind whose start lies in (fromMs, toMs] and that have
    // not been acted on, in list order.
    std::vector<DueRun> DueRuns(const AppState& app, long long fromMs, long long toMs, bool socket,
                                const std::map<std::string, long long>& done) const;
    void StartSocketTasks(AppState& app, long long nowMs, SchedulerHost& host);
    void ResolveAhead(AppState& app, long long nowMs, SchedulerHost& host);
    void PrepareBrowserTasks(AppState& app, long long nowMs, SchedulerHost& host);
    void RunBrowserTask(const DueRun& run, AppState& app, SchedulerHost& host);
    void RunWaiting(AppState& app, SchedulerHost& host);
    void Forget(long long nowMs);
    void WarnOfUnsyncedClock(AppState& app, long long nowMs, SchedulerHost& host);

    bool running_ = false;
    std::map<std::string, long long> acted_;     // task and moment -> the moment's ms
    std::map<std::string, long long> resolved_;  // the same for the lookups ahead
    std::map<std::string, long long> warned_;    // the same for the clock's warning
    std::map<std::string, long long> prepared_;  // the same for the IE tasks made ready
    std::function<ClockSync()> clockSync_ = ReadClockSync;
    std::deque<WaitingRun> waiting_;
};

}  // namespace quillrun
