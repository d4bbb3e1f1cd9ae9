#include "core/replay/success_rule.h"

#include <gtest/gtest.h>

#include "core/formats/junit.h"
#include "core/platform/cp932.h"
#include "core/platform/notify_command.h"
#include "core/replay/task_run.h"
#include "core/tasks/scheduler.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

RowResult Row(const std::string& outcome, bool ok, const std::string& text = "") {
    RowResult row;
    row.method = "POST";
    row.url = "http://h/x.cgi";
    row.outcome = outcome;
    row.ok = ok;
    row.responseText = text;
    return row;
}

}  // namespace

TEST(SuccessRule, StatusesTextsAndWhatEndsATry) {
    EXPECT_TRUE(ValidStatusRanges("200-299"));
    EXPECT_TRUE(ValidStatusRanges("200, 302,400-404"));
    for (const char* bad : {"", "2xx", "299-200", "200-", "99", "600", "200;302", "200-299,"})
        EXPECT_FALSE(ValidStatusRanges(bad)) << bad;
    EXPECT_EQ(StatusCodeOf("HTTP/1.1 302 Found"), 302);
    EXPECT_EQ(StatusCodeOf("connection failed"), 0);

    SuccessRule plain;
    EXPECT_TRUE(JudgeTry(plain, {Row("HTTP/1.0 302 Found", true)}).success);
    EXPECT_FALSE(JudgeTry(plain, {Row("HTTP/1.0 404 Not Found", false)}).success);
    EXPECT_FALSE(JudgeTry(plain, {}).success);

    SuccessRule rule;
    rule.statusRanges = "200";
    rule.rejectText = "受付前です";
    rule.expectText = "完了";
    // A login answered by a 302 back to its form is no success when only 200 counts.
    TryVerdict redirected = JudgeTry(rule, {Row("HTTP/1.0 302 Found", true, "完了")});
    EXPECT_FALSE(redirected.success);
    EXPECT_EQ(redirected.reason, "POST http://h/x.cgi: HTTP/1.0 302 Found (not among 200)");
    EXPECT_FALSE(JudgeTry(rule, {Row("HTTP/1.0 200 OK", true, "受付前です 完了")}).success);
    EXPECT_FALSE(JudgeTry(rule, {Row("HTTP/1.0 200 OK", true, "まだ")}).success);
    EXPECT_TRUE(JudgeTry(rule, {Row("HTTP/1.0 200 OK", true, "予約完了")}).success);
    // A connection that failed, a guard's refusal and a failed form step.
    TryVerdict refused = JudgeTry(rule, {Row("refused by the duplicate-post guard", false)});
    EXPECT_TRUE(refused.guardRefused);
    EXPECT_FALSE(JudgeTry(rule, {Row("connection failed", false)}).guardRefused);
    RowResult step = Row("form action failed: element not found after 10 s: submit=Go", false);
    step.method = "SET";
    EXPECT_EQ(JudgeTry(plain, {step, Row("HTTP/1.0 200 OK", true)}).reason, step.outcome);
}

TEST(SuccessRule, TheNextDueMomentOfATask) {
    TaskRecord task;
    task.EventTime_Year = task.EventTime_Month = task.EventTime_Day = kEvery;
    task.EventTime_Hour = 10;
    task.EventTime_Minute = kEvery;  // every minute of ten o'clock
    task.EventOffsetMs = -500;
    LocalTime moment{2026, 12, 8, 9, 59, 59, 500};
    LocalTime next = NextDueMoment(task, moment, 300);
    EXPECT_EQ(DateTimeText(next), "2026-12-08 10:00:59.500");
    task.EventTime_Minute = 0;  // once a day: the window's end
    EXPECT_EQ(DateTimeText(NextDueMoment(task, moment, 300)), "2026-12-08 10:04:59.500");
}

TEST(SuccessRule, TheNotifyCommandIsToldOfTheRunAndKilledAtItsLimit) {
    EXPECT_EQ(SplitCommandWords("notify-send \"a b\" c"),
              (std::vector<std::string>{"notify-send", "a b", "c"}));
    EXPECT_TRUE(SplitCommandWords("open \"quote").empty());

    test::TempFolder dir;
    std::string out = dir / "env.txt";
    CommandResult told = RunCommand(
        {"sh", "-c",
         "echo \"$QUILLRUN_TASK|$QUILLRUN_OUTCOME|$QUILLRUN_TRIES\" > " + out +
             "; echo 'first line' >&2; echo 'second' >&2; exit 3"},
        {{"QUILLRUN_TASK", "朝の予約"}, {"QUILLRUN_OUTCOME", "failure"}, {"QUILLRUN_TRIES", "4"}},
        5000);
    EXPECT_TRUE(told.started);
    EXPECT_FALSE(told.killed);
    EXPECT_EQ(told.exitStatus, 3);
    EXPECT_EQ(told.errorLine, "first line");
    EXPECT_EQ(test::ReadFile(out), "朝の予約|failure|4\n");

    // A command that hangs (and what it started) is ended at the limit.
    auto started = std::chrono::steady_clock::now();
    CommandResult hung = RunCommand({"sh", "-c", "sleep 30 & sleep 30"}, {}, 300);
    EXPECT_TRUE(hung.killed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(RunCommand({"/nonexistent/command"}, {}, 1000).exitStatus == 0);
}

TEST(SuccessRule, JUnitReportsOneSuitePerTryAndTheRuleAsATestcase) {
    JUnitTry first;
    first.rows = {Row("HTTP/1.0 200 OK", true, "受付前です")};
    first.rows[0].milliseconds = 12;
    first.verdict.reason = "the last answer contains \"受付前です\"";
    JUnitTry second;
    second.rows = {Row("HTTP/1.0 200 OK", true)};
    second.verdict.success = true;
    std::string xml = JUnitReportXml("t.evf <&>", {first, second}, "");
    EXPECT_EQ(xml.substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_NE(xml.find("<testsuites>\n"), std::string::npos);
    EXPECT_NE(xml.find(" hostname=\"localhost\" "), std::string::npos);
    EXPECT_NE(xml.find("<testsuite name=\"t.evf &lt;&amp;&gt; try 1\" tests=\"2\" failures=\"1\""),
              std::string::npos);
    EXPECT_NE(xml.find("name=\"1 POST http://h/x.cgi\" time=\"0.012\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<failure message=\"the last answer contains &quot;受付前です&quot;\" "
                       "type=\"rule\">"),
              std::string::npos);
    EXPECT_NE(xml.find("try 2\" tests=\"2\" failures=\"0\""), std::string::npos);
}

}  // namespace quillrun
