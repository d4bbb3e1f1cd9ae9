// The scheduler's calls out, as the main window carries them out.
#pragma once

#include <functional>
#include <string>

#include "core/formats/run_report.h"
#include "core/replay/browser_replay.h"
#include "core/tasks/scheduler.h"

namespace quillrun {

class GuiSchedulerHost : public SchedulerHost {
  public:
    using MessageSink = std::function<void(const std::string&)>;
    // Replays an event file through the browser: with a moment, its moment row at it; rows
    // before `fromRow` (from 1) are not carried out.
    using BrowserReplay =
        std::function<void(const std::string& eventFile, const RowObserver&, bool freshHidden,
                           const BrowserMoment* moment, int fromRow)>;
    // Makes the browser ready for an IE task's event file that runs in a moment.
    using BrowserPreparation = std::function<void(const std::string& eventFile)>;
    GuiSchedulerHost(MessageSink sink, std::function<void()> showReplayView,
                     BrowserReplay browserReplay, BrowserPreparation prepareBrowser = {})
        : sink_(std::move(sink)),
          showReplayView_(std::move(showReplayView)),
          browserReplay_(std::move(browserReplay)),
          prepareBrowser_(std::move(prepareBrowser)) {}

    void AddMessage(const std::string& text) override;
    void StartSocketReplay(const std::string& eventFile, const std::string& taskName,
                           const LocalTime& moment, const RunSettings& settings,
                           const LocalTime& latest) override;
    void ShowReplayView() override;
    void RunBrowserReplay(const std::string& eventFile, const std::string& taskName,
                          const RunSettings& settings, const LocalTime& moment,
                          const LocalTime& latest) override;
    void PrepareSocketReplay(const std::string& eventFile) override;
    void PrepareBrowserReplay(const std::string& eventFile) override;

  private:
    MessageSink sink_;
    std::function<void()> showReplayView_;
    BrowserReplay browserReplay_;
    BrowserPreparation prepareBrowser_;
};

}  // namespace quillrun
