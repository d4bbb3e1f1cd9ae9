#include "core/tasks/scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<LocalTime> latests;

    void AddMessage(const std::string& text) override { calls.push_back("msg " + text); }
    void StartSocketReplay(const std::string& file, const std::string&, const LocalTime& moment,
                           const RunSettings&, const LocalTime& latest) override {
        calls.push_back("socket " + file + " @" + DateTimeText(moment).substr(11));
        latests.push_back(latest);
    }
    void ShowReplayView() override { calls.push_back("view"); }
    void RunBrowserReplay(const std::string& file, const std::string&, const RunSettings&,
                          const LocalTime&, const LocalTime&) override {
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
    void SetUp() override {
        SetActivityLog(dir_ / "quillrun.log", &trace_);
        scheduler_.SetClockSyncReader([this] { return sync_; });
    }
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
    ClockSync sync_{true, true, 0, 0};
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

TEST(TaskFallsDueAgain, APassedOrImpossibleDateNeverComesAndEveryOtherDoes) {
    LocalTime now = T(2026, 12, 9, 22, 8, 30);
    EXPECT_FALSE(TaskFallsDueAgain(Task("a", 2026, 12, 9, 22, 8), now));  // 30 s ago
    EXPECT_FALSE(TaskFallsDueAgain(Task("a", 2026, 12, 9, 21, -1), now));
    EXPECT_FALSE(TaskFallsDueAgain(Task("a", 2025, -1, -1, -1, -1), now));
    EXPECT_FALSE(TaskFallsDueAgain(Task("a", -1, 2, 30, -1, -1), now));  // never a 30 February
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", 2026, 12, 9, 22, 9), now));
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", 2026, 12, 9, 22, -1), now));
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", -1, -1, -1, -1, -1), now));
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", -1, 12, 9, 22, 8), now));  // next year's
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", -1, 2, 29, 0, 0), now));   // 2028's
    EXPECT_TRUE(TaskFallsDueAgain(Task("a", 2027, 1, 1, 0, 0), now));
    EXPECT_FALSE(TaskFallsDueAgain(Task("a", 2027, 2, 29, 0, 0), now));
    // An offset moves the moment: 22:08 plus 45 s is still to come, minus 45 s has passed.
    TaskRecord later = Task("a", 2026, 12, 9, 22, 8);
    later.EventOffsetMs = 45000;
    EXPECT_TRUE(TaskFallsDueAgain(later, now));
    TaskRecord earlier = Task("a", 2026, 12, 9, 22, 9);
    earlier.EventOffsetMs = -45000;
    EXPECT_FALSE(TaskFallsDueAgain(earlier, now));
    LocalTime next;
    ASSERT_TRUE(NextTaskMoment(later, now, next));
    EXPECT_EQ(DateTimeText(next), "2026-12-09 22:08:45.000");
    ASSERT_TRUE(NextTaskMoment(Task("a", -1, 2, 29, 0, 0), now, next));
    EXPECT_EQ(next.year, 2028);
}

TEST_F(SchedulerTest, ASocketTaskStartsAheadOnceForEachMomentAndAnIeTaskAtItsMoment) {
    Add(Task("sock", -1, -1, -1, -1, -1));
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    std::string run = "msg " + J("イベント実行 ie");
    // Socket: handed over 2-3 s ahead with its moment; IE: at second 0.
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 19, 56)).empty());
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 19, 57)),
              (Calls{"socket /q/event/sock.evf @15:20:00.000"}));
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 19, 58)).empty());
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 0)), (Calls{run, "view", "ie /q/event/ie.evf"}));
    for (int s = 1; s < 57; ++s)
        EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 20, s)).empty()) << s;
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 57)).size(), 1u);
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 21, 0)).size(), 3u);
    EXPECT_NE(test::ReadFile(dir_ / "quillrun.log").find(J("イベント実行 ie")), std::string::npos);
}

TEST_F(SchedulerTest, ALateTickStillActsOnceAndATickTwiceInSecondZeroActsOnce) {
    Add(Task("every", -1, -1, -1, -1, -1));
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    // Ticks that were held up: the moment is acted on up to 3 s late, once.
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 1)),
              (Calls{"socket /q/event/every.evf @15:20:00.000", "msg " + J("イベント実行 ie"),
                     "view", "ie /q/event/ie.evf"}));
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 20, 2)).empty());
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 21, 0)).size(), 4u);
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 21, 0)).empty());  // two ticks in one second
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 22, 2)).size(), 4u);
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 23, 3)).empty());  // too late: not run late
    EXPECT_TRUE(TickAt(T(2026, 5, 10, 15, 23, 4)).empty());
}

TEST_F(SchedulerTest, SocketTasksGoAheadOfBrowserTasksAndEachKindKeepsListOrder) {
    Add(Task("first", -1, -1, -1, -1, -1, kExecIE));
    Add(Task("notdue", -1, -1, -1, 3, -1));
    Add(Task("second", 2026, 5, 10, 15, 20, kExecSocket));
    Add(Task("third", -1, -1, -1, -1, -1, 7));  // any non-zero exec type is IE
    Add(Task("fourth", -1, -1, -1, -1, 20, kExecSocket));
    TaskRecord empty = Task("nofile", -1, -1, -1, -1, -1);
    empty.EventDataFile.clear();
    Add(empty);
    EXPECT_EQ(TickAt(T(2026, 5, 10, 15, 20, 0)),
              (Calls{"socket /q/event/second.evf @15:20:00.000",
                     "socket /q/event/fourth.evf @15:20:00.000", "msg " + J("イベント実行 first"),
                     "view", "ie /q/event/first.evf", "msg " + J("イベント実行 third"), "view",
                     "ie /q/event/third.evf"}));
    EXPECT_EQ(test::ReadFile(dir_ / "quillrun.log").find("nofile"), std::string::npos);
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
    EXPECT_EQ(TickAt(T(2028, 2, 29, 0, 0, 0)), (Calls{"socket /q/event/feb29.evf @00:00:00.000"}));
}

TEST_F(SchedulerTest, OffsetsMoveTheMomentAcrossMinuteHourAndYearEnds) {
    TaskRecord early = Task("early", 2027, 1, 1, 0, 0);
    early.EventOffsetMs = -1500;  // 2026-12-31 23:59:58.500
    TaskRecord late = Task("late", 2026, 12, 31, 23, 59);
    late.EventOffsetMs = 30000;  // 23:59:30
    TaskRecord ie = Task("ie", 2027, 1, 1, 0, 0, kExecIE);
    ie.EventOffsetMs = -250;  // 23:59:59.750, in the year before
    Add(early);
    Add(late);
    Add(ie);
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 23, 59, 26)).empty());
    EXPECT_EQ(TickAt(T(2026, 12, 31, 23, 59, 27)),
              (Calls{"socket /q/event/late.evf @23:59:30.000"}));
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 23, 59, 54)).empty());
    EXPECT_EQ(TickAt(LocalTime{2026, 12, 31, 23, 59, 55, 501}),
              (Calls{"socket /q/event/early.evf @23:59:58.500"}));
    // The IE task's tick is armed for its moment, which comes before the next whole second.
    LocalTime before{2026, 12, 31, 23, 59, 59, 1};
    EXPECT_TRUE(TickAt(before).empty());
    EXPECT_EQ(scheduler_.MillisecondsToNextTick(app_, before), 749);
    EXPECT_TRUE(TickAt(LocalTime{2026, 12, 31, 23, 59, 59, 749}).empty());
    EXPECT_EQ(TickAt(LocalTime{2026, 12, 31, 23, 59, 59, 750}),
              (Calls{"msg " + J("イベント実行 ie"), "view", "ie /q/event/ie.evf"}));
    EXPECT_EQ(scheduler_.MillisecondsToNextTick(app_, LocalTime{2026, 12, 31, 23, 59, 59, 750}),
              251);
    EXPECT_TRUE(TickAt(T(2027, 1, 1, 0, 0, 0)).empty());  // the minute's own second 0: done

    // The moment of a minute and an offset, on either side.
    EXPECT_EQ(DateTimeText(TaskMoment(T(2027, 1, 1, 0, 0, 17), -30000)), "2026-12-31 23:59:30.000");
    EXPECT_EQ(DateTimeText(TaskMoment(T(2026, 3, 1, 10, 0, 0), -1)), "2026-03-01 09:59:59.999");
    EXPECT_EQ(DateTimeText(TaskMoment(T(2028, 2, 29, 23, 59, 0), 30000)),
              "2028-02-29 23:59:30.000");
}

TEST_F(SchedulerTest, LeadRowsAreHandedOverTheirLeadSecondsAheadAcrossMinuteHourAndYear) {
    // A booking at the turn of the year whose login goes 30 s ahead (the default), an IE task
    // at the turn of an hour with 90 s of lead rows, a task at second 0 with 5 s.
    TaskRecord book = Task("book", 2027, 1, 1, 0, 0);
    book.EventMomentRow = 3;
    TaskRecord ie = Task("ie", 2026, 12, 31, 23, 0, kExecIE);
    ie.EventMomentRow = 2;
    ie.EventLeadSeconds = 90;
    TaskRecord quick = Task("quick", 2026, 12, 31, 23, 30);
    quick.EventMomentRow = 2;
    quick.EventLeadSeconds = 5;
    Add(book);
    Add(ie);
    Add(quick);
    EXPECT_EQ(LeadMilliseconds(book), 30000);
    EXPECT_EQ(LeadMilliseconds(Task("plain", 2027, 1, 1, 0, 0)), 0);
    // The IE task starts 90 s before 23:00, in the hour and minute before.
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 22, 58, 29)).empty());
    EXPECT_EQ(scheduler_.MillisecondsToNextTick(app_, T(2026, 12, 31, 22, 58, 29)), 1000);
    EXPECT_EQ(TickAt(T(2026, 12, 31, 22, 58, 30)),
              (Calls{"msg " + J("イベント実行 ie"), "view", "ie /q/event/ie.evf"}));
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 23, 0, 0)).empty());  // once only
    // A socket task is handed over its lead and the connecting time ahead: 5 s and 2 s to 3 s.
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 23, 29, 51)).empty());
    EXPECT_EQ(TickAt(T(2026, 12, 31, 23, 29, 52)),
              (Calls{"socket /q/event/quick.evf @23:30:00.000"}));
    // The booking's lead rows start in the year before its moment.
    EXPECT_TRUE(TickAt(T(2026, 12, 31, 23, 59, 26)).empty());
    EXPECT_EQ(TickAt(T(2026, 12, 31, 23, 59, 27)),
              (Calls{"socket /q/event/book.evf @00:00:00.000"}));
    EXPECT_TRUE(TickAt(T(2027, 1, 1, 0, 0, 0)).empty());
    EXPECT_TRUE(TickAt(T(2027, 1, 1, 0, 0, 1)).empty());
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

    EXPECT_EQ(
        duringReplay,
        (Calls{"socket /q/event/sock.evf @00:01:00.000", "socket /q/event/gone.evf @00:01:00.000",
               "socket /q/event/sock.evf @00:02:00.000", "socket /q/event/gone.evf @00:02:00.000",
               "msg " + J("ie は前の回が再生待ちのため、00:02 の回は実行しません")}));
    // Socket tasks first, then the IE task; after its replay the IE task of 00:01 runs at once,
    // saying how late it is.
    Calls expected{"socket /q/event/sock.evf @00:00:00.000",
                   "socket /q/event/gone.evf @00:00:00.000", "msg " + J("イベント実行 ie"), "view",
                   "ie /q/event/ie.evf"};
    expected.insert(expected.end(), duringReplay.begin(), duringReplay.end());
    for (const std::string& call :
         {"msg " + J("イベント実行 ie"),
          "msg " + J("ie はブラウザ再生の終わりを待ったため 72.345 秒遅れて開始しました"),
          std::string("view"), std::string("ie /q/event/ie.evf")})
        expected.push_back(call);
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(replays, 2);
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    EXPECT_EQ(log.find(J("秒遅れ")), std::string::npos);  // the log keeps its own lines only

    // The minutes acted on during the replay are not acted on again; the deleted task is gone.
    EXPECT_TRUE(TickAt(T(2026, 1, 1, 0, 2, 1)).empty());
    EXPECT_EQ(TickAt(T(2026, 1, 1, 0, 3, 0)),
              (Calls{"socket /q/event/sock.evf @00:03:00.000", "msg " + J("イベント実行 ie"),
                     "view", "ie /q/event/ie.evf"}));
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

TEST_F(SchedulerTest, SocketTasksAreLookedUpOnceAheadOfTheirConnection) {
    struct PreparingHost : RecordingHost {
        std::vector<std::string> prepared;
        void PrepareSocketReplay(const std::string& file) override { prepared.push_back(file); }
    } host;
    Add(Task("newyear", 2027, 1, 1, 0, 0));
    Add(Task("ie", -1, -1, -1, -1, -1, kExecIE));
    Add(Task("later", -1, -1, -1, -1, 5));
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 51), host);
    EXPECT_TRUE(host.prepared.empty());
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 52), host);
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 53), host);
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/q/event/newyear.evf"}));
    EXPECT_TRUE(host.calls.empty());
}

// The browser is made ready once for each IE run, within the two or three seconds before its
// start (its lead rows' start when it has them); the replay itself still starts at its moment.
TEST_F(SchedulerTest, IeTasksAreMadeReadyOnceAheadOfTheirStart) {
    struct PreparingHost : RecordingHost {
        std::vector<std::string> prepared;
        void PrepareBrowserReplay(const std::string& file) override { prepared.push_back(file); }
    } host;
    Add(Task("sock", -1, -1, -1, -1, -1));
    Add(Task("ie", 2027, 1, 1, 0, 0, kExecIE));
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 56), host);
    EXPECT_TRUE(host.prepared.empty());
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 57), host);
    scheduler_.Tick(app_, T(2026, 12, 31, 23, 59, 58), host);
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/q/event/ie.evf"}));
    auto replays = [&] {
        return std::count(host.calls.begin(), host.calls.end(), "ie /q/event/ie.evf");
    };
    EXPECT_EQ(replays(), 0);
    scheduler_.Tick(app_, T(2027, 1, 1, 0, 0, 0), host);
    EXPECT_EQ(host.prepared.size(), 1u);
    EXPECT_EQ(replays(), 1);
}

TEST_F(SchedulerTest, AClockNoOneKeepsIsSaidAMinuteBeforeATask) {
    Add(Task("sock", -1, -1, -1, 10, 1));
    Add(Task("ie", -1, -1, -1, 10, 2, kExecIE));
    EXPECT_TRUE(TickAt(T(2026, 12, 8, 10, 0, 0)).empty());  // synchronised: nothing to say
    sync_.synchronised = false;
    EXPECT_TRUE(TickAt(T(2026, 12, 8, 10, 0, 1)).empty());  // said once a moment, if at all
    EXPECT_EQ(TickAt(T(2026, 12, 8, 10, 0, 57)), (Calls{"socket /q/event/sock.evf @10:01:00.000"}));
    EXPECT_TRUE(TickAt(T(2026, 12, 8, 10, 0, 59)).empty());  // ie: more than a minute ahead
    EXPECT_EQ(TickAt(T(2026, 12, 8, 10, 1, 0)),
              (Calls{"msg " +
                     J("この機械の時計は同期されていません。ie は 1 分後にこの時計で実行します")}));
    EXPECT_TRUE(TickAt(T(2026, 12, 8, 10, 1, 1)).empty());
}

TEST(MomentWait, AClockSetBackOrForwardWhileWaitingIsFollowed) {
    // A clock whose sleeps end early, as a signal or a clock step would end them, and that the
    // test sets meanwhile.
    struct SteppedClock : Clock {
        mutable std::vector<LocalTime> readings;
        mutable std::size_t next = 0;
        mutable int sleeps = 0;
        LocalTime Now() const override { return readings[std::min(next, readings.size() - 1)]; }
        void SleepUntil(const LocalTime&) const override {
            ++sleeps;
            ++next;
        }
    } clock;
    LocalTime moment{2026, 12, 8, 10, 0, 0, 0};
    clock.readings = {LocalTime{2026, 12, 8, 9, 59, 58, 0}, LocalTime{2026, 12, 8, 9, 0, 0, 0},
                      LocalTime{2026, 12, 8, 9, 59, 59, 999}, LocalTime{2026, 12, 8, 10, 0, 0, 0}};
    WaitForMoment(clock, moment);  // set back an hour: slept on, not returned early
    EXPECT_EQ(clock.sleeps, 3);
    clock.readings = {LocalTime{2026, 12, 8, 9, 0, 0, 0}, LocalTime{2026, 12, 8, 11, 0, 0, 0}};
    clock.next = 0;
    clock.sleeps = 0;
    WaitForMoment(clock, moment);  // set forward past the moment: returns at once
    EXPECT_EQ(clock.sleeps, 1);

    // The system clock: a moment just ahead is met, not missed and not slept past.
    SystemClock system;
    LocalTime soon = FromEpochMilliseconds(ToEpochMilliseconds(system.Now()) + 30);
    WaitForMoment(system, soon);
    long long after = ToEpochMilliseconds(system.Now()) - ToEpochMilliseconds(soon);
    EXPECT_GE(after, 0);
}

}  // namespace quillrun
