#include "gui/app/main_window.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "tests/support/temp_folder.h"

namespace quillrun {

TEST(MainWindow, TitleAndSchedulerTimerRunDueTasks) {
    test::TempFolder dir;
    std::int32_t trace = 0;
    SetActivityLog(dir / "quillrun.log", &trace);
    test::FixedClock clock(LocalTime{2026, 12, 6, 8, 0, 0, 0});
    test::ScopedClock scoped(clock);
    TaskRecord task;
    task.SetName("every");
    task.SetDataFile(dir / "event/every.evf");
    task.EventTime_Year = task.EventTime_Month = task.EventTime_Day = -1;
    task.EventTime_Hour = task.EventTime_Minute = -1;
    App().tasks.Clear();
    App().tasks.Append(task);

    MainWindow window;
    EXPECT_EQ(window.windowTitle(),
              QString::fromUtf8("Webリクエスト自動再生機 -KESTREL-  Ver1.10 Copyright (C) 2026 "
                                "quillrun developers"));
    window.show();
    auto* list = window.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 3000));
    EXPECT_TRUE(list->item(0)->text().endsWith(QString::fromUtf8("イベント実行 every")));
    QTest::qWait(1200);  // the same minute again: nothing more
    EXPECT_EQ(list->count(), 1);

    App().tasks.Clear();
    SetActivityLog("", nullptr);
}

}  // namespace quillrun
