// The setting of a GUI test: a fresh program folder with its configuration, the skin of the
// built program, and the application state put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "gui/skin/skin.h"
#include "tests/support/temp_folder.h"

namespace quillrun::test {

class GuiProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        LoadConfiguration(App(), dir_.Path());
        App().SetStartPage("about:blank");
        TheSkin().Create(QStringLiteral(QUILLRUN_TEST_DIST_DIR));
    }
    void TearDown() override {
        App().tasks.Clear();
        App().currentTab = 0;
        App().modalDialog = 0;
        App().recording = 0;
        App().playing = 0;
        App().standbyArmed = App().taskFired = 0;
        SetActivityLog("", nullptr);
    }

    TempFolder dir_;
    ScopedProgramFolder program_{dir_.Path()};
};

}  // namespace quillrun::test
