// The scheduler's calls out, as the main window carries them out.
#pragma once

#include <functional>
#include <string>

#include "core/formats/run_report.h"
#include "core/tasks/scheduler.h"

namespace quillrun {

class GuiSchedulerHost : public SchedulerHost {
  public:
    using MessageSink = std::function<void(const std::string&)>;
    GuiSchedulerHost(
        MessageSink sink, std::function<void()> showReplayView,
        std::function<void(const std::string&, const RowObserver&, bool)> browserReplay)
        : sink_(std::move(sink)),
          showReplayView_(std::move(showReplayView)),
          browserReplay_(std::move(browserReplay)) {}

    void AddMessage(const std::string& text) override;
    void StartSocketReplay(const std::string& eventFile, const std::string& taskName,
                           const LocalTime& moment, const RunSettings& settings,
                           const LocalTime& latest) override;
    void ShowReplayView() override;
    void RunBrowserReplay(const std::string& eventFile, const std::string& taskName,
                          const RunSettings& settings, const LocalTime& moment,
                          const LocalTime& latest) override;
    void PrepareSocketReplay(const std::string& eventFile) override;

  private:
    MessageSink sink_;
    std::function<void()> showReplayView_;
    std::function<void(const std::string&, const RowObserver&, bool)> browserReplay_;
};

}  // namespace quillrun
