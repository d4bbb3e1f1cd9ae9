#include "gui/app/gui_scheduler_host.h"

#include "core/config/app_state.h"
#include "core/replay/socket_sender.h"

namespace quillrun {

void GuiSchedulerHost::AddMessage(const std::string& text) {
    if (sink_)
        sink_(text);
}

void GuiSchedulerHost::StartSocketReplay(const std::string& eventFile) {
    StartSocketReplayThread(eventFile);
}

void GuiSchedulerHost::ShowReplayView() {
    App().currentTab = 1;
}

void GuiSchedulerHost::RunBrowserReplay(const std::string& eventFile) {
    (void)eventFile;  // the browser replay is not part of this build yet
}

}  // namespace quillrun
