#include "gui/app/gui_scheduler_host.h"

#include "core/recording/message_sink.h"
#include "core/replay/socket_sender.h"

namespace quillrun {

void GuiSchedulerHost::AddMessage(const std::string& text) {
    if (sink_)
        sink_(text);
}

void GuiSchedulerHost::StartSocketReplay(const std::string& eventFile, const std::string& taskName,
                                         const LocalTime& moment) {
    StartSocketReplayThread(eventFile, taskName, moment);
}

void GuiSchedulerHost::PrepareSocketReplay(const std::string& eventFile) {
    // The resolver may take seconds; the user-interface thread never waits for it.
    StartPrefetchThread(eventFile);
}

void GuiSchedulerHost::ShowReplayView() {
    if (showReplayView_)
        showReplayView_();
}

void GuiSchedulerHost::RunBrowserReplay(const std::string& eventFile, const std::string& taskName) {
    if (!browserReplay_)
        return;
    RunReportFile report(taskName, CurrentClock().Now());
    browserReplay_(eventFile, [this, &report](const RowResult& row) {
        report.Add(row);
        AddMessage(RowMessage(row));
    });
    PruneRunReports();
}

}  // namespace quillrun
