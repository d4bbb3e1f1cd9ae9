// The scheduler tick: every task whose time pattern matches the local minute is handed to its
// replay engine at second 0, in list order.
#pragma once

#include <deque>
#include <string>

#include "core/config/app_state.h"
#include "core/platform/clock.h"

namespace quillrun {

// What the tick calls out to. The GUI implements it; tests record the calls.
class SchedulerHost {
  public:
    virtual ~SchedulerHost() = default;
    // A time-stamped row of the Record page's message list.
    virtual void AddMessage(const std::string& text) = 0;
    // Starts a detached socket sender thread that owns its copy of the path (the task's name
    // names its run report).
    virtual void StartSocketReplay(const std::string& eventFile, const std::string& taskName) = 0;
    // Selects the Record page's recording and replay view and redraws the main window.
    virtual void ShowReplayView() = 0;
    // Replays the file through the browser; returns when the whole file has been gone through.
    // Ticks go on meanwhile (the replay runs the message loop) and may re-enter Tick.
    virtual void RunBrowserReplay(const std::string& eventFile, const std::string& taskName) = 0;
    // A Socket task falls due at the next minute: work that would delay its first request
    // (finding the server's address) may be done now, off the user-interface thread.
    virtual void PrepareSocketReplay(const std::string& /*eventFile*/) {}
};

// True when every time field is -1 or equal to the current value (seconds play no part).
bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now);

// Milliseconds from now until just past the next whole second, where the next tick belongs:
// a tick armed this way runs within a millisecond or two of each second's start.
int MillisecondsToNextTick(const LocalTime& now);

class Scheduler {
  public:
    // A timer tick may come a second or two late; the first tick within these seconds of a
    // minute acts for that minute, and later ticks of the same minute do nothing.
    static constexpr int kLateTickSeconds = 2;
    // From this second on, Socket tasks of the next minute are prepared (once a minute).
    static constexpr int kPrepareSecond = 55;

    void Tick(AppState& app, const LocalTime& now, SchedulerHost& host);

  private:
    // An IE task that fell due while a browser replay held the tick; it runs right after.
    struct WaitingRun {
        std::string name;
        std::string eventFile;
        LocalTime due;
    };

    void StartTask(const TaskRecord& task, AppState& app, SchedulerHost& host);
    void TickDuringReplay(AppState& app, const LocalTime& now, SchedulerHost& host);
    void RunWaiting(AppState& app, SchedulerHost& host);
    void PrepareNextMinute(AppState& app, const LocalTime& now, SchedulerHost& host);

    bool running_ = false;
    long long lastMinute_ = -1;
    long long lastPrepared_ = -1;
    std::deque<WaitingRun> waiting_;
};

}  // namespace quillrun
