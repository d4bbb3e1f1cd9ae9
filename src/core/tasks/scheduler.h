// The scheduler tick: once a second, every task whose time pattern matches the local minute
// is handed to its replay engine at second 0, in list order.
#pragma once

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
    // Starts a detached socket sender thread that owns its copy of the path.
    virtual void StartSocketReplay(const std::string& eventFile) = 0;
    // Selects the Record page's recording and replay view and redraws the main window.
    virtual void ShowReplayView() = 0;
    // Replays the file through the browser; returns when the whole file has been gone through.
    virtual void RunBrowserReplay(const std::string& eventFile) = 0;
};

// True when every time field is -1 or equal to the current value (seconds play no part).
bool TaskTimeMatches(const TaskRecord& task, const LocalTime& now);

class Scheduler {
  public:
    // A timer tick may come a second or two late; the first tick within these seconds of a
    // minute acts for that minute, and later ticks of the same minute do nothing.
    static constexpr int kLateTickSeconds = 2;

    void Tick(AppState& app, const LocalTime& now, SchedulerHost& host);

  private:
    bool running_ = false;
    long long lastMinute_ = -1;
};

}  // namespace quillrun
