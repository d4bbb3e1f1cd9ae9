// The run history read back from the reports the runs wrote: newest first, each with its first
// row's time, its outcome and its tries; files that are no reports are passed over.
#include "core/formats/run_history.h"

#include <gtest/gtest.h>

#include "core/formats/run_report.h"
#include "core/platform/cp932.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

RowResult Row(const std::string& outcome, bool ok, int second) {
    RowResult row;
    row.at = LocalTime{2026, 12, 9, 10, 0, second, 12};
    row.method = "POST";
    row.url = "http://h/book.cgi";
    row.outcome = outcome;
    row.ok = ok;
    return row;
}

TEST(RunHistory, TheReportsAreReadBackNewestFirstWithOutcomeAndTries) {
    test::TempFolder dir;
    dir.MakeProgramFolders();
    test::ScopedProgramFolder program(dir.Path());
    {
        RunReportFile plain("morning", LocalTime{2026, 12, 9, 9, 59, 58, 0});
        plain.Add(Row("HTTP/1.0 200 OK", true, 0));
        plain.Add(Row("HTTP/1.0 302 Found", true, 1));
    }
    {
        RunReportFile failed(J("予約"), LocalTime{2026, 12, 9, 10, 0, 0, 0});
        failed.Add(Row("HTTP/1.0 403 Forbidden", false, 0));
    }
    {
        RunReportFile judged(J("予約"), LocalTime{2026, 12, 9, 10, 0, 0, 0});  // the same second
        judged.AddLine("--- try 1 2026-12-09 10:00:00.000");
        judged.Add(Row("HTTP/1.0 200 OK", true, 0));
        judged.AddLine("rule: failure: the last answer contains \"受付前\"");
        judged.AddLine("--- try 2 2026-12-09 10:00:01.000");
        judged.Add(Row("HTTP/1.0 200 OK", true, 1));
        judged.AddLine("rule: success");
    }
    test::WriteFile(dir / "report/notes.txt", "not a report");
    std::vector<RunRecord> history = RunHistory();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].task, J("予約"));  // the second run of that second comes first
    EXPECT_TRUE(history[0].success);
    EXPECT_EQ(history[0].tries, 2);
    EXPECT_EQ(history[0].verdict, "success");
    EXPECT_EQ(history[0].firstByte, "2026-12-09 10:00:00.012");
    EXPECT_FALSE(history[1].success);
    EXPECT_EQ(history[1].tries, 1);
    EXPECT_EQ(history[1].verdict, "a row failed");
    EXPECT_EQ(history[2].task, "morning");
    EXPECT_TRUE(history[2].success);
    EXPECT_EQ(history[2].started.second, 58);

    RunRecord last;
    ASSERT_TRUE(LastRunOf(history, "morning", last));
    EXPECT_EQ(last.path, history[2].path);
    EXPECT_FALSE(LastRunOf(history, "evening", last));

    RunRecord notRun;
    ASSERT_TRUE(ReadRunReport("20261209-100000_t.txt",
                              "failure: not run: no thread could be started for it\n", notRun));
    EXPECT_FALSE(notRun.success);
    EXPECT_EQ(notRun.verdict, "not run: no thread could be started for it");
    EXPECT_FALSE(ReadRunReport("2026129-100000_t.txt", "", notRun));
}

}  // namespace
}  // namespace quillrun
