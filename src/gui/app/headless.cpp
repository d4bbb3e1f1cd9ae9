#include "gui/app/headless.h"

#include <cstdio>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/replay/browser_replay.h"
#include "core/replay/form_action.h"
#include "gui/app/gui_scheduler_host.h"
#include "gui/app/run_end_notices.h"
#include "gui/app/scheduler_loop.h"
#include "gui/browser/dom_automation.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/record_page.h"

namespace quillrun {

OffscreenBrowser::OffscreenBrowser(const QString& storageName, QObject* parent) : QObject(parent) {
    browser_ = new WebEngineBrowser(nullptr, storageName);
    browser_->SetEvents(this);
    browser_->SetHomeUrl(App().settings.startpage);
}

OffscreenBrowser::~OffscreenBrowser() {
    browser_->SetEvents(nullptr);
    delete browser_;
}

void OffscreenBrowser::DocumentComplete() {
    WebDomAutomation dom(*browser_);
    RunPendingFormAction(dom);
}

void OffscreenBrowser::Replay(const std::string& eventFile, const RowObserver& observer,
                              bool freshHidden, const BrowserMoment* moment, int fromRow) {
    EventLoopWaiter waiter;
    BrowserReplayFile(eventFile, *browser_, waiter, observer, freshHidden, moment, fromRow);
}

HeadlessProgram::HeadlessProgram(QObject* parent) : QObject(parent) {
    browser_ = new OffscreenBrowser(RecordPage::BrowserStorage(), this);
    host_ = std::make_unique<GuiSchedulerHost>(
        [](const std::string& text) { AddMessage(text); }, [] {},
        [this](const std::string& eventFile, const RowObserver& observer, bool freshHidden,
               const BrowserMoment* moment, int fromRow) {
            browser_->Replay(eventFile, observer, freshHidden, moment, fromRow);
        },
        [this](const std::string& eventFile) {
            std::string origin = FirstRowOrigin(eventFile);
            if (!origin.empty())
                browser_->browser().WarmUp(origin);
        });
    loop_ = new SchedulerLoop(*host_, this);
    InstallTaskRunEndNotices(false);
}

HeadlessProgram::~HeadlessProgram() {
    RemoveTaskRunEndNotices();
    loop_->Stop();
}

}  // namespace quillrun
