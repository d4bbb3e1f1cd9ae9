#include "core/replay/task_run.h"

#include <algorithm>
#include <mutex>

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/platform/notify_command.h"

namespace quillrun {

void AnnounceTaskRun(const std::string& name, const std::function<void(const std::string&)>& say) {
    std::string text = J("イベント実行 ") + name;
    WriteLog(text, false);
    say(text);
}

namespace {

std::mutex& ListenerLock() {
    static std::mutex lock;
    return lock;
}

std::function<void(const TaskRunEnd&)>& Listener() {
    static std::function<void(const TaskRunEnd&)> listener;
    return listener;
}

}  // namespace

void SetTaskRunEndListener(std::function<void(const TaskRunEnd&)> listener) {
    std::lock_guard<std::mutex> hold(ListenerLock());
    Listener() = std::move(listener);
}

void TellTaskRunEnd(const TaskRunEnd& end) {
    std::function<void(const TaskRunEnd&)> listener;
    {
        std::lock_guard<std::mutex> hold(ListenerLock());
        listener = Listener();
    }
    if (listener)
        listener(end);
}

void RunNotifyCommand(const TaskRunEnd& end, const std::string& command, int limitMilliseconds) {
    // The settings hold Shift_JIS; the system's commands and paths are its own bytes.
    std::vector<std::string> words = SplitCommandWords(Cp932ToUtf8(command));
    if (words.empty()) {
        AddMessage(J("通知コマンドを読み取れません（引用符が閉じていません）: ") + command);
        return;
    }
    std::vector<std::pair<std::string, std::string>> environment{
        {"QUILLRUN_TASK", Cp932ToUtf8(end.taskName)},
        {"QUILLRUN_OUTCOME", end.summary.success ? "success" : "failure"},
        {"QUILLRUN_TRIES", std::to_string(end.summary.tries)},
        {"QUILLRUN_REPORT", end.reportPath.empty() ? std::string() : NativePath(end.reportPath)}};
    CommandResult result = RunCommand(words, environment, limitMilliseconds);
    std::string text = J("通知コマンド (") + end.taskName + "): ";
    if (!result.started) {
        text += J("起動できませんでした");
    } else if (result.killed) {
        text += std::to_string(limitMilliseconds / 1000) + J(" 秒で終わらないため打ち切りました");
    } else {
        text += J("終了コード ") + std::to_string(result.exitStatus);
    }
    if (!result.errorLine.empty())
        text += " " + Utf8ToCp932(result.errorLine);
    AddMessage(text);
}

bool WantsDesktopNotice(const TaskRunEnd& end) {
    return end.notify == 2 || (end.notify == 1 && !end.summary.success);
}

std::string TryMessage(const std::string& taskName, int tryNumber, const TryVerdict& verdict,
                       bool windowOn) {
    std::string text = J("タスク ") + taskName + J(": ");
    if (windowOn)
        text += J("試行 ") + std::to_string(tryNumber) + " ";
    if (verdict.success)
        return text + J("成功");
    return text + J("失敗: ") + Utf8ToCp932(verdict.reason);
}

std::string RunEndMessage(const std::string& taskName, const RunSummary& summary) {
    std::string text = J("タスク ") + taskName + J(": ");
    if (summary.success) {
        return text + J("試行 ") + std::to_string(summary.successfulTry) + J(" で成功しました（") +
               std::to_string(summary.tries) + J(" 回試行）");
    }
    return text + std::to_string(summary.tries) + J(" 回試行しましたが成功しませんでした: ") +
           Utf8ToCp932(summary.reason);
}

namespace {

std::mutex g_runningLock;
std::vector<std::string> g_running;

// A task's run, counted among those going on for as long as it lasts.
struct RunningTask {
    explicit RunningTask(const std::string& name) : name_(name) {
        std::lock_guard<std::mutex> guard(g_runningLock);
        g_running.push_back(name_);
    }
    ~RunningTask() {
        std::lock_guard<std::mutex> guard(g_runningLock);
        auto at = std::find(g_running.begin(), g_running.end(), name_);
        if (at != g_running.end())
            g_running.erase(at);
    }
    RunningTask(const RunningTask&) = delete;
    RunningTask& operator=(const RunningTask&) = delete;

  private:
    std::string name_;
};

}  // namespace

std::vector<std::string> RunningTasks() {
    std::lock_guard<std::mutex> guard(g_runningLock);
    return g_running;
}

RunSummary RunTask(const std::string& taskName, const RunSettings& settings, RunReportFile* report,
                   const std::function<void(int, const RowObserver&)>& runOnce,
                   const std::function<bool(long long)>& wait, const RowObserver& row,
                   const LocalTime& moment, const LocalTime* latest,
                   const std::function<void(int, const TryVerdict&)>& tried) {
    RunningTask running(taskName);
    // A task without a rule or a window is reported as it always was: its rows only.
    bool judged = !settings.rule.IsDefault() || settings.retry.On();
    TryHooks hooks;
    hooks.runOnce = [&](int n, const RowObserver& observer) {
        if (settings.retry.On() && report != nullptr)
            report->AddLine("--- try " + std::to_string(n) + " " +
                            DateTimeText(CurrentClock().Now()));
        runOnce(n, observer);
    };
    hooks.wait = wait;
    hooks.row = [&](const RowResult& result) {
        if (report != nullptr)
            report->Add(result);
        if (row)
            row(result);
    };
    hooks.tried = [&](int n, const TryVerdict& verdict) {
        if (tried)
            tried(n, verdict);
        if (!judged)
            return;
        if (report != nullptr)
            report->AddLine(std::string("rule: ") +
                            (verdict.success ? "success" : "failure: " + verdict.reason));
        AddMessage(TryMessage(taskName, n, verdict, settings.retry.On()));
    };
    RunSummary summary = RunTries(settings, hooks, moment, latest);
    if (settings.retry.On() && summary.tries > 1)
        AddMessage(RunEndMessage(taskName, summary));
    TaskRunEnd end;
    end.taskName = taskName;
    end.summary = summary;
    end.reportPath = report != nullptr ? report->path() : std::string();
    end.notify = settings.notify;
    TellTaskRunEnd(end);
    return summary;
}

}  // namespace quillrun
