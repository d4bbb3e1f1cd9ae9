// The Task watch and the standby cycle, offscreen, with a fake power and a set clock.
#include "gui/tasks/task_watch_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/replay/socket_sender.h"
#include "core/replay/task_run.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/gui_prompter.h"
#include "gui/app/main_window.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/skin.h"
#include "gui/skin/tray_icon.h"
#include "gui/tasks/linux_power.h"
#include "gui/tasks/task_page.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

struct FakePower : Power {
    std::vector<std::string> suspends;
    SuspendResult result = SuspendResult::Resumed;
    SuspendResult SuspendWithWakeTimer(int y, int mo, int d, int h, int mi, int s) override {
        suspends.push_back(std::to_string(y) + "/" + std::to_string(mo) + "/" + std::to_string(d) +
                           " " + std::to_string(h) + ":" + std::to_string(mi) + ":" +
                           std::to_string(s));
        return result;
    }
};

TaskRecord Daily(const std::string& name, int hour, int minute, const std::string& file) {
    TaskRecord t;
    t.SetName(name);
    t.SetDataFile(file);
    t.EventTime_Year = t.EventTime_Month = t.EventTime_Day = -1;
    t.EventTime_Hour = hour;
    t.EventTime_Minute = minute;
    return t;
}

class TaskWatchTest : public test::GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        App().settings.OutputDebugTrace = 1;
        SetPower(&power_);
        SetPromptHook(
            [this](const std::string& text, const std::string&, PromptButtons, PromptIcon) {
                prompts_.push_back(text);
                return PromptAnswer::Yes;
            });
        test::WriteFile(dir_ / "event/a.evf", "1\tURL\thttp://h/a\t\t\r\n2\t\t\t\t\r\n");
        App().tasks.Append(Daily("A", 10, 0, dir_ / "event/a.evf"));
        window_ = std::make_unique<MainWindow>();
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        SetPower(nullptr);
        SetPromptHook(nullptr);
        App().tasks.Clear();
        App().standbyArmed = App().taskFired = 0;
        App().ending = 0;
        App().modalDialog = 0;
        SetActivityLog("", nullptr);
        GuiProgramTest::TearDown();
    }
    void At(int h, int m, int s) { clock_.Set(LocalTime{2026, 12, 6, h, m, s, 0}); }
    // Runs `act` on the resume dialog when it opens inside `trigger`.
    void WithResumeDialog(std::function<void(ResumeDialog&)> act, std::function<void()> trigger) {
        resumeSeen_ = false;
        QTimer::singleShot(0, [this, act] {
            auto* resume = qobject_cast<ResumeDialog*>(QApplication::activeModalWidget());
            if (resume == nullptr)
                return;
            resumeSeen_ = true;
            act(*resume);
        });
        trigger();
    }

    test::FixedClock clock_{LocalTime{2026, 12, 6, 9, 30, 0, 0}};
    test::ScopedClock scoped_{clock_};
    FakePower power_;
    std::vector<std::string> prompts_;
    std::unique_ptr<MainWindow> window_;
    bool resumeSeen_ = false;
};

}  // namespace

// Ctrl and a right click is not all: the Task page's button and the tray's menu open it too.
TEST_F(TaskWatchTest, TheTaskPagesButtonAndTheTraysMenuOpenIt) {
    int opened = 0;
    auto expectWatch = [&opened] {
        QTimer::singleShot(0, [&opened] {
            auto* watch = qobject_cast<TaskWatchDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(watch, nullptr);
            EXPECT_EQ(watch->Static(1020)->text(), QStringLiteral("A"));
            ++opened;
            watch->close();
        });
    };
    window_->SelectTab(kTabTask);
    QPushButton* button = window_->taskPage()->taskWatchButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8("タスクウォッチ"));
    expectWatch();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(opened, 1);

    QAction* fromTray =
        window_->trayIcon()->Menu()->findChild<QAction*>(QStringLiteral("trayTaskWatch"));
    ASSERT_NE(fromTray, nullptr);
    EXPECT_EQ(fromTray->text(), QString::fromUtf8("タスクウォッチ"));
    expectWatch();
    fromTray->trigger();
    EXPECT_EQ(opened, 2);
}

// During a run the watch says which task is running; after it, how it went.
TEST_F(TaskWatchTest, ItShowsTheTaskBeingRunAndThenItsOutcome) {
    test::LoopbackHttpServer server([](const test::ReceivedRequest&) {
        test::Reply reply = test::Reply::Ok("slow");
        reply.delayMilliseconds = 1500;
        return reply;
    });
    std::string file = App().programFolder + "event/watch.evf";
    test::WriteFile(file, "1\tURL\t" + server.Url("/watch-check") + "\t\t\r\n2\t\t\t\t\r\n");
    TaskWatchDialog watch(window_.get());
    StartSocketReplayThread(file, "slowrun", CurrentClock().Now(), RunSettings{}, nullptr);
    ASSERT_TRUE(server.WaitForRequests(1, 10000));
    watch.Tick();
    auto* state = watch.findChild<QLabel*>(QStringLiteral("runState"));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->text(), QString::fromUtf8("実行中: slowrun"));
    ASSERT_TRUE(QTest::qWaitFor([] { return RunningTasks().empty(); }, 10000));
    watch.Tick();
    EXPECT_TRUE(state->toolTip().startsWith(QString::fromUtf8("前回 slowrun\n")))
        << state->toolTip().toStdString();
    EXPECT_TRUE(state->toolTip().contains(QString::fromUtf8("試行 1 成功")))
        << state->toolTip().toStdString();
}

TEST_F(TaskWatchTest, OpensOnCtrlRightPressOnceAndShowsTheNextTask) {
    int opened = 0;
    QTimer::singleShot(0, [&] {
        auto* watch = qobject_cast<TaskWatchDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(watch, nullptr);
        ++opened;
        EXPECT_EQ(watch->windowTitle(), QString::fromUtf8("タスクウォッチ"));
        EXPECT_EQ(watch->Static(1020)->text(), QStringLiteral("A"));
        EXPECT_EQ(watch->Static(1031)->text(), QStringLiteral("10"));
        EXPECT_EQ(watch->Static(1032)->text(), QStringLiteral("0"));
        EXPECT_EQ(watch->Static(1033)->text(), QStringLiteral("1800"));
        EXPECT_EQ(watch->Static(1033)->font().pixelSize(), 18);
        EXPECT_EQ(watch->EventView()->topLevelItemCount(), 4);
        EXPECT_FALSE(watch->EventView()->isEnabled());
        if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR")) {
            watch->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/task-watch.png"));
        }
        // A second Ctrl + right press while it is open opens nothing more.
        QTest::mousePress(watch, Qt::RightButton, Qt::ControlModifier, QPoint(20, 20));
        EXPECT_EQ(QApplication::activeModalWidget(), watch);
        At(9, 30, 1);
        watch->Tick();
        EXPECT_EQ(watch->Static(1033)->text(), QStringLiteral("1799"));
        EXPECT_EQ(watch->Static(1034)->text(), QString::fromUtf8("10:00:00.000 まで 1799.0 秒"));
        EXPECT_FALSE(watch->Static(1035)->text().isEmpty());  // the clock's state
        // A task firing ahead of its minute shows its own moment, to the millisecond.
        App().tasks.At(0).EventOffsetMs = -1250;
        clock_.Set(LocalTime{2026, 12, 6, 9, 59, 57, 300});
        watch->Tick();
        EXPECT_EQ(watch->Static(1034)->text(), QString::fromUtf8("09:59:58.750 まで 1.4 秒"));
        EXPECT_EQ(watch->Static(1033)->text(), QStringLiteral("1"));  // the same moment
        clock_.Set(LocalTime{2026, 12, 6, 9, 59, 58, 550});
        watch->Tick();
        EXPECT_EQ(watch->Static(1033)->text(), QStringLiteral("0"));  // 0.2 s left
        EXPECT_EQ(watch->Static(1034)->text(), QString::fromUtf8("09:59:58.750 まで 0.2 秒"));
        App().tasks.At(0).EventOffsetMs = 0;
        watch->close();
    });
    QTest::mousePress(window_.get(), Qt::RightButton, Qt::ControlModifier, QPoint(300, 300));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(App().modalDialog, 0);
}

TEST_F(TaskWatchTest, TheStandbyCycleWithTheNextTaskTwentyMinutesOn) {
    App().tasks.Append(Daily("B", 10, 20, dir_ / "event/a.evf"));
    TaskWatchDialog watch(window_.get());
    ASSERT_TRUE(watch.Opened());
    watch.PressStandby();
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0],
              J("コンピューターをスタンバイモードに移行します。次のタスク実行前に自動で復帰し"
                "ます。よろしいですか？"));
    EXPECT_EQ(power_.suspends, (std::vector<std::string>{"2026/12/6 9:55:0"}));
    EXPECT_EQ(App().standbyArmed, 1);

    At(9, 59, 59);
    watch.Tick();
    EXPECT_EQ(App().taskFired, 1);
    At(10, 0, 30);  // A has run; B is 1170 seconds away
    WithResumeDialog(
        [](ResumeDialog& resume) {
            EXPECT_EQ(resume.windowTitle(), QString::fromUtf8("スタンバイモードから復帰"));
            EXPECT_TRUE(resume.CountdownLabel()->text().isEmpty());  // the first second
            resume.Tick();
            EXPECT_EQ(resume.CountdownLabel()->text(), QStringLiteral("59"));
            if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR")) {
                resume.grab().save(QString::fromLocal8Bit(folder) +
                                   QStringLiteral("/resume-dialog.png"));
            }
            for (int i = 0; i < 59; ++i)
                resume.Tick();
        },
        [&] { watch.Tick(); });
    EXPECT_TRUE(resumeSeen_);
    EXPECT_EQ(App().taskFired, 0);
    ASSERT_EQ(power_.suspends.size(), 2u);
    EXPECT_EQ(power_.suspends[1], "2026/12/6 10:15:0");
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    EXPECT_NE(log.find("Restart Dialog _ Restart Timeout"), std::string::npos);

    // The close box sends the machine to standby at once, as the countdown does.
    At(10, 19, 59);
    watch.Tick();
    At(10, 20, 30);
    WithResumeDialog([](ResumeDialog& resume) { resume.close(); }, [&] { watch.Tick(); });
    EXPECT_TRUE(resumeSeen_);
    EXPECT_EQ(power_.suspends.size(), 3u);
    EXPECT_EQ(App().standbyArmed, 1);
}

TEST_F(TaskWatchTest, NoResumeDialogWhileTheNextTaskIsCloseAndCancelEndsTheCycle) {
    App().tasks.Append(Daily("C", 10, 8, dir_ / "event/a.evf"));
    TaskWatchDialog watch(window_.get());
    App().standbyArmed = 1;
    At(9, 59, 59);
    watch.Tick();
    EXPECT_EQ(App().taskFired, 1);
    At(10, 0, 30);  // C is 450 seconds away: stay awake
    WithResumeDialog([](ResumeDialog&) {}, [&] { watch.Tick(); });
    EXPECT_FALSE(resumeSeen_);
    EXPECT_EQ(App().taskFired, 1);

    At(10, 7, 59);
    watch.Tick();
    At(10, 8, 30);  // C has run; A is tomorrow
    WithResumeDialog([](ResumeDialog& resume) { resume.reject(); }, [&] { watch.Tick(); });
    EXPECT_TRUE(resumeSeen_);
    EXPECT_EQ(App().standbyArmed, 0);
    EXPECT_TRUE(power_.suspends.empty());
    EXPECT_NE(test::ReadFile(dir_ / "quillrun.log").find("Restart Dialog _ Pushed Cancel"),
              std::string::npos);

    // A refused suspend is said in the message list; the cycle goes on.
    power_.result = SuspendResult::SuspendRefused;
    EXPECT_TRUE(watch.StandbyUntilNextTask());
    QApplication::processEvents();
    MethodListView* messages = window_->recordPage()->messageList();
    auto said = [&](const char* text) {
        for (int i = 0; i < messages->topLevelItemCount(); ++i) {
            if (messages->topLevelItem(i)->text(1).contains(QString::fromUtf8(text)))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(said("スタンバイに移行できませんでした"));

    // A wake timer that cannot be armed: no standby and no cycle, with the reason in a box and
    // in the message list.
    power_.result = SuspendResult::WakeTimerRefused;
    prompts_.clear();
    EXPECT_FALSE(watch.StandbyUntilNextTask());
    QApplication::processEvents();
    EXPECT_TRUE(said("復帰用のタイマー"));
    ASSERT_FALSE(prompts_.empty());
    EXPECT_NE(prompts_.back().find(J("復帰用のタイマー")), std::string::npos);
}

TEST_F(TaskWatchTest, EscLeavesTheWatchOpenAndAnEndDuringTheCountdownNeverSuspends) {
    App().tasks.Append(Daily("B", 10, 20, dir_ / "event/a.evf"));
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        auto* watch = qobject_cast<TaskWatchDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(watch, nullptr);
        QTest::keyClick(watch, Qt::Key_Escape);
        QApplication::processEvents();
        stillOpen = watch->isVisible();
        watch->close();  // the close box
    });
    TaskWatchDialog::Run(window_.get());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(App().modalDialog, 0);

    // The standby cycle runs; the program is asked to end while the resume dialog counts down.
    TaskWatchDialog watch(window_.get());
    App().standbyArmed = 1;
    At(9, 59, 59);
    watch.Tick();
    At(10, 0, 30);
    WithResumeDialog(
        [](ResumeDialog& resume) {
            resume.Tick();
            App().ending = 1;  // as an end signal or the session's end sets it
            resume.close();    // the ending application closes every window
        },
        [&] { watch.Tick(); });
    EXPECT_TRUE(resumeSeen_);
    EXPECT_TRUE(power_.suspends.empty());
    EXPECT_EQ(App().standbyArmed, 0);
    App().ending = 0;
}

TEST(WakeAlarm, ADateThatIsNotRealIsMadeRealAPastOneIsRefusedAndARefusingRtcIsHeard) {
    test::TempFolder dir;
    std::string rtc = dir / "wakealarm";
    test::WriteFile(rtc, "");
    SetWakeAlarmPath(rtc);
    test::FixedClock clock(LocalTime{2026, 4, 30, 12, 0, 0, 0});
    test::ScopedClock scoped(clock);
    long long armed = 0;
    // The watch's 31-day calendar gives 4/31: the alarm rings on 5/1, before the task's real run.
    EXPECT_EQ(LinuxPower::ArmWakeAlarm(2026, 4, 31, 9, 55, 0, armed), SuspendResult::Resumed);
    EXPECT_EQ(armed, WakeAlarmSeconds(2026, 5, 1, 9, 55, 0));
    EXPECT_EQ(test::ReadFile(rtc), std::to_string(armed) + "\n");
    // 2/30 likewise (into March), and a time inside a daylight-saving gap moves on by the gap.
    EXPECT_EQ(LinuxPower::ArmWakeAlarm(2027, 2, 30, 0, 0, 0, armed), SuspendResult::Resumed);
    EXPECT_EQ(armed, WakeAlarmSeconds(2027, 3, 2, 0, 0, 0));
    const char* zone = std::getenv("TZ");
    std::string saved = zone ? zone : "";
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    EXPECT_EQ(LinuxPower::ArmWakeAlarm(2027, 3, 14, 2, 30, 0, armed), SuspendResult::Resumed);
    EXPECT_EQ(armed, WakeAlarmSeconds(2027, 3, 14, 3, 30, 0));
    EXPECT_EQ(armed - WakeAlarmSeconds(2027, 3, 14, 1, 30, 0), 3600);  // 01:30 EST + 1 h
    if (zone)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();

    // Five minutes before a task four minutes away has passed: no alarm, no suspend.
    test::WriteFile(rtc, "untouched");
    EXPECT_EQ(LinuxPower::ArmWakeAlarm(2026, 4, 30, 11, 59, 0, armed),
              SuspendResult::WakeTimeInPast);
    EXPECT_EQ(test::ReadFile(rtc), "untouched");
    // An RTC that refuses the value (a full device stands for one) is heard.
    SetWakeAlarmPath("/dev/full");
    EXPECT_EQ(LinuxPower::ArmWakeAlarm(2026, 5, 1, 9, 55, 0, armed),
              SuspendResult::WakeTimerRefused);
    SetWakeAlarmPath("");
}

}  // namespace quillrun
