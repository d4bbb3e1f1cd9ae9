#include "gui/app/gui_scheduler_host.h"

#include "core/platform/message_sink.h"
#include "core/replay/socket_sender.h"
#include "core/replay/task_run.h"
#include "gui/browser/event_loop_waiter.h"

namespace quillrun {

void GuiSchedulerHost::AddMessage(const std::string& text) {
    if (sink_)
        sink_(text);
}

void GuiSchedulerHost::StartSocketReplay(const std::string& eventFile, const std::string& taskName,
                                         const LocalTime& moment, const RunSettings& settings,
                                         const LocalTime& latest) {
    StartSocketReplayThread(eventFile, taskName, moment, settings, &latest);
}

void GuiSchedulerHost::PrepareSocketReplay(const std::string& eventFile) {
    // The resolver may take seconds; the user-interface thread never waits for it.
    StartPrefetchThread(eventFile);
}

void GuiSchedulerHost::PrepareBrowserReplay(const std::string& eventFile) {
    if (prepareBrowser_)
        prepareBrowser_(eventFile);
}

void GuiSchedulerHost::ShowReplayView() {
    if (showReplayView_)
        showReplayView_();
}

void GuiSchedulerHost::RunBrowserReplay(const std::string& eventFile, const std::string& taskName,
                                        const RunSettings& settings, const LocalTime& moment,
                                        const LocalTime& latest) {
    if (!browserReplay_)
        return;
    RunReportFile report(taskName, CurrentClock().Now());
    RunTask(
        taskName, settings, &report,
        [&](int tryNumber, const RowObserver& observer) {
            // Lead rows navigate now and the moment row goes at the moment; a retry goes from
            // the moment row.
            BrowserMoment at{moment, settings.momentRow, nullptr};
            bool lead = settings.momentRow > 1 && tryNumber == 1;
            browserReplay_(eventFile, observer, settings.freshHidden, lead ? &at : nullptr,
                           tryNumber == 1 ? 1 : settings.momentRow);
        },
        [](long long milliseconds) {
            // The message loop goes on meanwhile, as during the replay's own waits.
            EventLoopWaiter().Pause(static_cast<int>(milliseconds));
            return true;
        },
        [this](const RowResult& row) { AddMessage(RowMessage(row)); }, moment, &latest);
    PruneRunReports();
}

}  // namespace quillrun
