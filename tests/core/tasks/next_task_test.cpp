#include "core/tasks/next_task.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

TaskRecord Task(const std::string& name, int y, int mo, int d, int h, int mi, int exec = 0) {
    return test::MakeTask(name, y, mo, d, h, mi, exec);
}

std::string Shown(const TaskList& tasks, const LocalTime& now) {
    WatchDisplay d = DisplayOf(ComputeNextTask(tasks, now), tasks);
    return d.name + " " + d.year + "/" + d.month + "/" + d.day + " " + d.hour + ":" + d.minute +
           " " + d.seconds;
}

std::string One(const TaskRecord& t, const LocalTime& now) {
    TaskList tasks;
    tasks.Append(t);
    return Shown(tasks, now);
}

LocalTime T(int y, int mo, int d, int h, int mi, int s) {
    return LocalTime{y, mo, d, h, mi, s, 0};
}

}  // namespace

// A task's offset moves its moment off the minute: the watch shows the minute whose moment is
// still to come, and counts to that moment; a task without one is shown as always.
TEST(NextTask, AnOffsetTaskIsShownForItsNextMoment) {
    TaskRecord early = Task("early", -1, -1, -1, -1, -1);
    early.EventOffsetMs = -30000;  // second 30 of the minute before
    // At 05:28:46 the moment of 5:29 (05:28:30) has passed: 5:30's is at 05:29:30.
    EXPECT_EQ(One(early, T(2026, 12, 9, 5, 28, 46)), "early 2026/12/9 5:30 44");
    EXPECT_EQ(One(early, T(2026, 12, 9, 5, 28, 20)), "early 2026/12/9 5:29 10");
    TaskRecord late = Task("late", -1, -1, -1, 10, 0);
    late.EventOffsetMs = 15000;  // 10:00:15
    EXPECT_EQ(One(late, T(2026, 12, 9, 10, 0, 5)), "late 2026/12/9 10:0 10");
    EXPECT_EQ(One(late, T(2026, 12, 9, 10, 0, 16)), "late 2026/12/10 10:0 86399");
    // The task that runs first is shown, whatever its place in the list.
    TaskList tasks;
    tasks.Append(Task("plain", -1, -1, -1, -1, -1));
    TaskRecord soon = Task("soon", -1, -1, -1, -1, -1);
    soon.EventOffsetMs = -45000;
    tasks.Append(soon);
    EXPECT_EQ(Shown(tasks, T(2026, 12, 9, 10, 0, 5)), "soon 2026/12/9 10:1 10");
    EXPECT_EQ(Shown(tasks, T(2026, 12, 9, 10, 0, 20)), "plain 2026/12/9 10:1 40");
}

TEST(NextTask, CandidatesAndCountdowns) {
    LocalTime may10 = T(2026, 5, 10, 15, 20, 5);
    EXPECT_EQ(One(Task("noon", -1, -1, -1, 12, 0), may10), "noon 2026/5/11 12:0 74395");
    EXPECT_EQ(One(Task("min", -1, -1, -1, -1, -1), may10), "min 2026/5/10 15:21 55");
    EXPECT_EQ(One(Task("min", -1, -1, -1, -1, -1), T(2026, 12, 31, 23, 59, 30)),
              "min 2027/1/1 0:0 30");
    EXPECT_EQ(One(Task("h15", -1, -1, -1, 15, -1), T(2026, 5, 10, 15, 59, 0)),
              "h15 2026/5/10 16:0 60");
    EXPECT_EQ(One(Task("past", 2020, 1, 1, 0, 0), may10), "None // : ");
    // The 31-day calendar: from 28 February 23:59 to 3/1 0:00 counts three more days.
    EXPECT_EQ(One(Task("daily", -1, -1, -1, 0, 0), T(2027, 2, 28, 23, 59, 0)),
              "daily 2027/3/1 0:0 " + std::to_string(60 + 3 * 86400));
    // A fixed month earlier in the year goes to next year; a later day this month stays.
    EXPECT_EQ(One(Task("jan", -1, 1, 5, 8, 0), may10),
              "jan 2027/1/5 8:0 " + std::to_string(TimeValue(2027, 1, 5, 8, 0, 0) -
                                                   TimeValue(2026, 5, 10, 15, 20, 5)));
    EXPECT_EQ(One(Task("d20", -1, -1, 20, -1, -1), may10),
              "d20 2026/5/20 0:0 " + std::to_string(TimeValue(2026, 5, 20, 0, 0, 0) -
                                                    TimeValue(2026, 5, 10, 15, 20, 5)));
    // A task due at this very minute but already past its second 0 waits for the next match.
    EXPECT_EQ(One(Task("now", -1, -1, -1, 15, 20), may10), "now 2026/5/11 15:20 86395");
}

TEST(NextTask, SmallestDifferenceWinsAndTheEarlierTaskKeepsATie) {
    TaskList tasks;
    tasks.Append(Task("later", -1, -1, -1, 18, 0));
    tasks.Append(Task("first", -1, -1, -1, 16, 0));
    tasks.Append(Task("second", -1, -1, -1, 16, 0));
    EXPECT_EQ(Shown(tasks, T(2026, 5, 10, 15, 20, 5)).substr(0, 6), "first ");
    TaskList none;
    EXPECT_EQ(Shown(none, T(2026, 5, 10, 15, 20, 5)), "None // : ");
}

TEST(WakeTime, FiveMinutesBeforeWithBorrows) {
    auto wake = [](int y, int mo, int d, int h, int mi) {
        WatchDisplay d0;
        d0.name = "task";
        d0.year = std::to_string(y);
        d0.month = std::to_string(mo);
        d0.day = std::to_string(d);
        d0.hour = std::to_string(h);
        d0.minute = std::to_string(mi);
        WakeTime w = WakeTimeFor(d0);
        return std::to_string(w.year) + "/" + std::to_string(w.month) + "/" +
               std::to_string(w.day) + " " + std::to_string(w.hour) + ":" +
               std::to_string(w.minute);
    };
    EXPECT_EQ(wake(2026, 5, 10, 12, 7), "2026/5/10 12:2");
    EXPECT_EQ(wake(2026, 5, 10, 12, 5), "2026/5/10 12:0");
    EXPECT_EQ(wake(2026, 5, 10, 12, 3), "2026/5/10 11:58");
    EXPECT_EQ(wake(2026, 5, 10, 0, 2), "2026/5/9 23:57");
    // Before the first of the month: the previous month's last real day, and year.
    EXPECT_EQ(wake(2026, 3, 1, 0, 2), "2026/2/28 23:57");
    EXPECT_EQ(wake(2028, 3, 1, 0, 4), "2028/2/29 23:59");
    EXPECT_EQ(wake(2027, 1, 1, 0, 0), "2026/12/31 23:55");
    WatchDisplay none;
    WakeTime w = WakeTimeFor(none);
    EXPECT_EQ(w.year, 3000);
    EXPECT_EQ(w.month, 1);
    EXPECT_EQ(w.day, 1);
    EXPECT_EQ(w.hour, 1);
    EXPECT_EQ(w.minute, 1);
}

TEST(StandbyCycle, ArmedFiredAndTheResumeDecision) {
    AppState app;
    WatchDisplay d;
    d.name = "task";
    d.seconds = "1";
    EXPECT_FALSE(StandbyCycleTick(app, d));  // not armed: nothing
    EXPECT_EQ(app.taskFired, 0);
    app.standbyArmed = 1;
    EXPECT_FALSE(StandbyCycleTick(app, d));
    EXPECT_EQ(app.taskFired, 1);
    d.seconds = "480";  // the next task follows within ten minutes: stay awake
    EXPECT_FALSE(StandbyCycleTick(app, d));
    EXPECT_EQ(app.taskFired, 1);
    d.seconds = "1200";
    EXPECT_TRUE(StandbyCycleTick(app, d));
    EXPECT_EQ(app.taskFired, 0);
    EXPECT_FALSE(StandbyCycleTick(app, d));  // armed again, not fired
    app.taskFired = 1;
    WatchDisplay none;
    EXPECT_TRUE(StandbyCycleTick(app, none));
}

}  // namespace quillrun
