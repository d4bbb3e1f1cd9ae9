// The setting of a test of the Record page with the real browser engine: the program's window
// on the Record tab, its first page loaded and the recording switched on.
#pragma once

#include <QTest>
#include <memory>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/recording/event_list.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/main_window.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/record_page.h"
#include "tests/gui/gui_program_test.h"

namespace quillrun::test {

class RecordingPageTest : public GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        window_ = std::make_unique<MainWindow>();
        window_->show();
        page_ = window_->recordPage();
        window_->SelectTab(kTabRecord);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->browser()->Busy(); }, 20000));
        page_->ToggleRecording();  // recording on, list emptied
        ASSERT_EQ(App().recording, 1);
    }
    void TearDown() override {
        window_.reset();
        App().recording = 0;
        App().currentTab = 0;
        SetActivityLog("", nullptr);
        GuiProgramTest::TearDown();
    }

    EventList& Events() { return page_->events(); }
    bool WaitForEvents(int count) {
        return QTest::qWaitFor([&] { return Events().PairCount() >= count; }, 20000);
    }

    std::unique_ptr<MainWindow> window_;
    RecordPage* page_ = nullptr;
};

}  // namespace quillrun::test
