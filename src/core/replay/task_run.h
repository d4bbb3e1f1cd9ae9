// One run of a task (or of --run): its tries under the success rule and the retry window, one
// report with a block per try, a message-list line per try, and whom to tell at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/formats/run_report.h"
#include "core/replay/success_rule.h"

namespace quillrun {

struct TaskRunEnd {
    std::string taskName;  // CP932
    RunSummary summary;
    std::string reportPath;  // CP932, empty when no report was written
    int notify = 1;          // the task's choice: 0 never, 1 on failure, 2 always
};

// Who hears of a task run's end (the desktop notification, the notify command); the desktop
// program and the headless scheduler set it. Called on the thread that ran the task.
void SetTaskRunEndListener(std::function<void(const TaskRunEnd&)> listener);
void TellTaskRunEnd(const TaskRunEnd& end);

// Runs the user's notify command (CP932, from the settings) for a task run's end, with
// QUILLRUN_TASK, QUILLRUN_OUTCOME (success/failure), QUILLRUN_TRIES and QUILLRUN_REPORT in its
// environment; its exit status and the first line of its error output go to the message list.
void RunNotifyCommand(const TaskRunEnd& end, const std::string& command,
                      int limitMilliseconds = 30000);
// Whether the task asked to be told of this end on the desktop.
bool WantsDesktopNotice(const TaskRunEnd& end);

// The message-list line of a try ("タスク <name>: 試行 2 失敗: ...") and of the run's end.
std::string TryMessage(const std::string& taskName, int tryNumber, const TryVerdict& verdict,
                       bool windowOn);
std::string RunEndMessage(const std::string& taskName, const RunSummary& summary);

// The message-list and log line of a task's run, said when it starts.
void AnnounceTaskRun(const std::string& name, const std::function<void(const std::string&)>& say);

// The names of the tasks whose runs are going on now (CP932), in the order they began.
std::vector<std::string> RunningTasks();

// Runs a task's file with its settings: tries through `runOnce`, waiting with `wait`, writing
// `report` (a block per try when the run may have more than one) and telling each row to
// `row` as well; the end goes to the task-run-end listener.
// `report` may be null (--run prints its rows instead); `tried` hears of each try's verdict.
RunSummary RunTask(const std::string& taskName, const RunSettings& settings, RunReportFile* report,
                   const std::function<void(int, const RowObserver&)>& runOnce,
                   const std::function<bool(long long)>& wait, const RowObserver& row,
                   const LocalTime& moment, const LocalTime* latest,
                   const std::function<void(int, const TryVerdict&)>& tried = nullptr);

}  // namespace quillrun
