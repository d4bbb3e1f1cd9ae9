// The program without a window: the browser engine offscreen (for --run FILE --browser) and the
// scheduler with both replay engines (--headless). Both run on the offscreen platform, so no
// display is needed.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "core/browser/browser.h"
#include "core/formats/run_report.h"
#include "core/replay/browser_replay.h"
#include "core/replay/success_rule.h"

namespace quillrun {

class WebEngineBrowser;
class GuiSchedulerHost;
class SchedulerLoop;

// A browser without a window that carries out SET steps on each completed document, as the
// Record page does for the desktop.
class OffscreenBrowser : public QObject, private BrowserEvents {
    Q_OBJECT
  public:
    explicit OffscreenBrowser(const QString& storageName, QObject* parent = nullptr);
    ~OffscreenBrowser() override;
    WebEngineBrowser& browser() { return *browser_; }
    // Replays an event file; returns when it is done.
    void Replay(const std::string& eventFile, const RowObserver& observer, bool freshHidden = false,
                const BrowserMoment* moment = nullptr, int fromRow = 1);

  private:
    void BeforeNavigate2(const std::string*) override {}
    void DocumentComplete() override;

    WebEngineBrowser* browser_ = nullptr;
};

// --headless: the scheduler and both engines; messages go to standard error with their time.
class HeadlessProgram : public QObject {
    Q_OBJECT
  public:
    explicit HeadlessProgram(QObject* parent = nullptr);
    ~HeadlessProgram() override;
    SchedulerLoop& loop() { return *loop_; }

  private:
    std::unique_ptr<GuiSchedulerHost> host_;
    OffscreenBrowser* browser_ = nullptr;
    SchedulerLoop* loop_ = nullptr;
};

}  // namespace quillrun
