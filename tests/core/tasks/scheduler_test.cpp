#include "core/tasks/scheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

struct RecordingHost : SchedulerHost {
    std::vector<std::string> calls;
    std::function<void()> duringBrowserReplay;

    void AddMessage(const std::string& text) override { calls.push_back("msg " + text); }
    void StartSocketReplay(const std::string& file, const std::string&) override {
        calls.push_back("socket " + file);
    }
    void ShowReplayView() override { calls.push_back("view"); }
    void RunBrowserReplay(const std::string& file, const std::string&) override {
        calls.push_back("ie " + file);
        if (duringBrowserReplay)
            duringBrowserReplay();
    }
};

TaskRecord Task(const std::string& name, int y, int mo, int d, int h, int mi, int exec = 0) {
    return test::MakeTask(name, y, mo, d, h, mi, exec);
}

LocalTime T(int y, int mo, int d, int h, int mi, int s) {
    return LocalTime{y, mo, d, h, mi, s, 0};
}

class SchedulerTest : public ::testing::Test {
  protected:
    void SetUp() override { SetActivityLog(dir_ / "quillrun.log", &trace_); }
    void TearDown() override { SetActivityLog("", nullptr); }

    void Add(const TaskRecord& t) { app_.tasks.Append(t); }
    std::vector<std::string> TickAt(const LocalTime& now) {
        host_.calls.clear();
        scheduler_.Tick(app_, now, host_);
        return host_.calls;
    }

    test::TempFolder dir_;
    std::int32_t trace_ = 0;
    AppState app_;
    Scheduler scheduler_;
    RecordingHost host_;
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(TaskTimeMatches, EachFieldIsFixedOrEvery) {
    LocalTime now = T(2026, 5, 10, 15, 20, 0);
    EXPECT_TRUE(TaskTimeMatches(Task("a", -1, -1, -1, -1, -1), now));
    EXPECT_TRUE(TaskTimeMatches(Task("a", 2026, 5, 10, 15, 20), now));
    EXPECT_FALSE(TaskTimeMatches(Task("a", 2025, -1, -1, -1, -1), now));
    EXPECT_FALSE(TaskTimeMatches(Task("a", -1, 6, -1, -1, -1), now));
    EXPECT_FALSE(TaskTimeMatches(Task("a", -1, -1, 11, -1, -1), now));
    EXPECT_FALSE(TaskTimeMatches(Task("a", -1, -1, -1, 16, -1), now));
    EXPECT_FALSE(TaskTimeMatches(Task("a", -1, -1, -1, -1, 21), now));
    EXPECT_TRUE(TaskTimeMatches(Task("a", -1, -1, -1, 15, -1), now));
    EXPECT_TRUE(TaskTimeMatches(Task("a", -1, -1, 10, -1, 20), now));
    // A time read as empty text is 0, which is not a wildcard.
    EXPECT_FALSE(TaskTimeMatches(Task("a", -1, -1, -1, 0, -1), now));
}

TEST_F(SchedulerTest, AnEveryMinuteTaskRunsAtSecondZeroOnly) {
    Add(Task("every", -1, -1, -1, -1, -1));
    std::string run = J("イベント実行 every");
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 0)),
              (Calls{"msg " + run, "socket /q/event/every.evf"}));
    for (int s = 1; s < 60; ++s)
        EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 20, s)).empty()) << s;
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 21, 0)).size(), 2u);
    EXPECT_EQ(test::ReadFile(dir_ / "quillrun.log").find(run) != std::string::npos, true);
}

TEST_F(SchedulerTest, ALateTickStillActsOnceAndATickTwiceInSecondZeroActsOnce) {
    Add(Task("every", -1, -1, -1, -1, -1));
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 1)).size(), 2u);  // second 0 was skipped
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 20, 2)).empty());
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 21, 0)).size(), 2u);
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 21, 0)).empty());  // two ticks in one second
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 22, 2)).size(), 2u);
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 23, 3)).empty());  // too late: not run late
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 23, 4)).empty());
}

TEST_F(SchedulerTest, TasksStartInListOrderWithTheirEngine) {
    Add(Task("first", -1, -1, -1, -1, -1, kExecIE));
    Add(Task("notdue", -1, -1, -1, 3, -1));
    Add(Task("second", 2026, 5, 10, 15, 20, kExecSocket));
    Add(Task("third", -1, -1, -1, -1, -1, 7));  // any non-zero exec type is IE
    TaskRecord empty = Task("nofile", -1, -1, -1, -1, -1);
    empty.EventDataFile[0] = '\0';
    Add(empty);
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 0)),
              (Calls{"msg " + J("イベント実行 first"), "view", "ie /q/event/first.evf",
                     "msg " + J("イベント実行 second"), "socket /q/event/second.evf",
                     "msg " + J("イベント実行 third"), "view", "ie /q/event/third.evf"}));
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    EXPECT_LT(log.find(J("イベント実行 first")), log.find(J("イベント実行 second")));
    EXPECT_EQ(log.find("nofile"), std::string::npos);
}

TEST_F(SchedulerTest, AModalDialogKeepsTheTabButTheReplayStillRuns) {
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    app_.modalDialog = 1;
    EXPECT_EQ(TickAt(T(2026, 1, 1, 0, 0, 0)),
              (Calls{"msg " + J("イベント実行 ie"), "ie /q/event/ie.evf"}));
}

TEST_F(SchedulerTest, ImpossibleAndLeapDatesFollowTheCalendarAsGiven) {
    Add(Task("feb30", 2007, 2, 30, 0, 0));
    Add(Task("feb29", -1, 2, 29, 0, 0));
    for (int day = 1; day <= 28; ++day)
        EXPECT_TRUE(TickAt(T(2007, 2, day, 0, 0, 0)).empty());
    EXPECT_TRUE(TickAt(T(2007, 3, 2, 0, 0, 0)).empty());  // no 2/30 and no "next day"
    Calls leap = TickAt(T(2028, 2, 29, 0, 0, 0));
    ASSERT_EQ(leap.size(), 2u);
    EXPECT_EQ(leap[1], "socket /q/event/feb29.evf");
}

TEST_F(SchedulerTest, NoTasksReturnsAtOnce) {
    EXPECT_TRUE(TickAt(T(2026, 1, 1, 0, 0, 0)).empty());
}

TEST_F(SchedulerTest, DuringABrowserReplaySocketTasksStartOnTimeAndIeTasksRunRightAfter) {
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    Add(Task("sock", -1, -1, -1, -1, -1));
    Add(Task("gone", -1, -1, -1, -1, -1));
    test::FixedClock clock(T(2026, 1, 1, 0, 0, 0));
    test::ScopedClock scoped(clock);
    int replays = 0;
    Calls duringReplay;
    host_.duringBrowserReplay = [&] {
        if (replays++ > 0)
            return;
        // The replay runs the message loop: the next two minutes' second 0 pass meanwhile, on
        // the same host, as the main window's ticks do.
        std::size_t before = host_.calls.size();
        scheduler_.Tick(app_, T(2026, 1, 1, 0, 1, 0), host_);
        scheduler_.Tick(app_, T(2026, 1, 1, 0, 1, 1), host_);  // same minute: nothing
        scheduler_.Tick(app_, T(2026, 1, 1, 0, 2, 0), host_);
        duringReplay.assign(host_.calls.begin() + static_cast<std::ptrdiff_t>(before),
                            host_.calls.end());
        // The Task page deletes a task during the replay.
        app_.tasks.Remove(2);
        clock.Set(LocalTime{2026, 1, 1, 0, 2, 12, 345});
    };
    Calls calls = TickAt(T(2026, 1, 1, 0, 0, 0));

    std::string sock = "msg " + J("イベント実行 sock");
    std::string gone = "msg " + J("イベント実行 gone");
    EXPECT_EQ(duringReplay,
              (Calls{sock, "socket /q/event/sock.evf", gone, "socket /q/event/gone.evf",
                     "msg " + J("ie は前の回が再生待ちのため、00:02 の回は実行しません"), sock,
                     "socket /q/event/sock.evf", gone, "socket /q/event/gone.evf"}));
    // After the first replay: the deleted task is not started from a stale index, and the IE
    // task of 00:01 runs at once, saying how late it is.
    Calls after(calls.begin() + 3 + static_cast<std::ptrdiff_t>(duringReplay.size()), calls.end());
    EXPECT_EQ(
        after,
        (Calls{sock, "socket /q/event/sock.evf", "msg " + J("イベント実行 ie"),
               "msg " + J("ie はブラウザ再生の終わりを待ったため 72.345 秒遅れて開始しました"),
               "view", "ie /q/event/ie.evf"}));
    EXPECT_EQ(replays, 2);
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    EXPECT_EQ(log.find(J("秒遅れ")), std::string::npos);  // the log keeps its own lines only

    // The minutes acted on during the replay are not acted on again.
    EXPECT_TRUE(TickAt(T(2026, 1, 1, 0, 2, 1)).empty());
    EXPECT_EQ(TickAt(T(2026, 1, 1, 0, 3, 0)).size(), 5u);
}

TEST(SchedulerTiming, TheTickIsArmedForJustPastTheNextWholeSecond) {
    for (int ms : {0, 1, 250, 500, 998, 999}) {
        LocalTime now{2026, 12, 31, 23, 59, 59, ms};
        int delay = MillisecondsToNextTick(now);
        // Lands within two milliseconds after the boundary, never before it.
        EXPECT_GE(ms + delay, 1001) << ms;
        EXPECT_LE(ms + delay, 1002) << ms;
        LocalTime fired = FromEpochMilliseconds(ToEpochMilliseconds(now) + delay);
        EXPECT_EQ(fired.year, 2027);
        EXPECT_EQ(fired.second, 0);
        EXPECT_LE(fired.millisecond, 1);
    }
}

TEST_F(SchedulerTest, SocketTasksOfTheNextMinuteArePreparedOnceAheadOfSecondZero) {
    struct PreparingHost : RecordingHost {
        std::vector<std::string> prepared;
        void PrepareSocketReplay(const std::string& file) override { prepared.push_back(file); }
    } host;
    Add(Task("newyear", 2027, 1, 1, 0, 0));
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    Add(Task("later", -1, -1, -1, -1, 5));
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 54), host);
    EXPECT_TRUE(host.prepared.empty());
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 55), host);
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 56), host);
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/q/event/newyear.evf"}));
    EXPECT_TRUE(host.calls.empty());
}

}  // namespace quillrun
