#include "core/formats/run_report.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/replay/socket_sender.h"
#include "core/web/http_response.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {

TEST(RunReport, StatusLinesAndTheRowLine) {
    EXPECT_EQ(StatusLineOf("HTTP/1.0 302 Found\r\nLocation: /\r\n\r\n"), "HTTP/1.0 302 Found");
    EXPECT_EQ(StatusLineOf(""), "(no response)");
    EXPECT_EQ(StatusLineOf(std::string("HTTP/1.0 200 \0K", 15)), "HTTP/1.0 200  K");
    EXPECT_TRUE(IsSuccessStatus("HTTP/1.1 204 No Content"));
    EXPECT_TRUE(IsSuccessStatus("HTTP/1.0 200"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 404 Not Found"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 2"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 2000 Odd"));
    EXPECT_FALSE(IsSuccessStatus("200 OK"));
    RowResult row;
    row.at = LocalTime{2026, 12, 6, 9, 30, 0, 7};
    row.method = "GET";
    row.url = "http://h/a?q=1";
    row.outcome = "HTTP/1.0 200 OK";
    row.bytes = 120;
    row.milliseconds = 15;
    EXPECT_EQ(FormatRowResult(row),
              "2026-12-06 09:30:00.007 GET http://h/a?q=1 HTTP/1.0 200 OK 120 bytes 15 ms");
    // A row's CP932 texts come out in UTF-8, as the outcome does: one encoding per line.
    row.url = "http://h/" + J("検索") + "?q=" + J("値");
    row.outcome = "接続がタイムアウトしました";
    EXPECT_EQ(FormatRowResult(row),
              "2026-12-06 09:30:00.007 GET http://h/検索?q=値 "
              "接続がタイムアウトしました 120 bytes 15 ms");
}

TEST(RunReport, ATaskRunWritesItsReportAndOnlyTheNewest200Stay) {
    test::TempFolder dir;
    dir.MakeProgramFolders();
    test::ScopedProgramFolder program(dir.Path());
    std::int32_t trace = 0;
    SetActivityLog(dir / "quillrun.log", &trace);
    std::vector<std::string> messages;
    std::mutex lock;
    SetMessageSink([&](const std::string& text) {
        std::lock_guard<std::mutex> guard(lock);
        messages.push_back(text);
    });
    test::LoopbackHttpServer server;
    SocketSenderOptions options;
    options.pauseMilliseconds = 0;
    SetSocketSenderOptions(options);
    // 205 reports of earlier runs and a file of the user's own.
    ASSERT_EQ(::mkdir((dir / "report").c_str(), 0700), 0);
    for (int i = 0; i < 205; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "report/20260101-00%04d_old.txt", i);
        test::WriteFile(dir / name, "x\n");
    }
    test::WriteFile(dir / "report/notes.txt", "mine");

    test::WriteFile(dir / "event/t.evf", "1\tURL\t" + server.Url("/a") + "\t\t\r\n");
    test::FixedClock clock(LocalTime{2026, 12, 6, 9, 30, 0, 0});
    test::ScopedClock scoped(clock);
    StartSocketReplayThread(dir / "event/t.evf", "morning", clock.Now());
    std::string report = dir / "report/20261206-093000_morning.txt";
    for (int i = 0; i < 500 && ListFolder(dir / "report/").size() != 201; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string line = test::ReadFile(report);
    EXPECT_EQ(
        line.rfind("2026-12-06 09:30:00.000 URL " + server.Url("/a") + " HTTP/1.0 200 OK ", 0), 0u)
        << line;
    EXPECT_EQ(line.substr(line.size() - 4), " ms\n");
    EXPECT_EQ(ListFolder(dir / "report/").size(), 201u);  // 200 reports and the user's file
    EXPECT_FALSE(FileExists(dir / "report/20260101-000000_old.txt"));
    EXPECT_FALSE(FileExists(dir / "report/20260101-000005_old.txt"));
    EXPECT_TRUE(FileExists(dir / "report/20260101-000006_old.txt"));
    EXPECT_TRUE(FileExists(dir / "report/notes.txt"));
    {
        std::lock_guard<std::mutex> guard(lock);
        // The run is announced when its first request has gone, then the row's outcome.
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0], J("イベント実行 morning"));
        EXPECT_EQ(messages[1].rfind("HTTP/1.0 200 OK (", 0), 0u) << messages[1];
    }
    SetMessageSink(nullptr);
    SetSocketSenderOptions({});
    SetActivityLog("", nullptr);
}

TEST(RunReport, EveryTaskNameGetsAFileOfItsOwnThatFitsAndIsPruned) {
    test::TempFolder dir;
    test::ScopedProgramFolder program(dir.Path());
    LocalTime at{2026, 12, 8, 10, 0, 0, 0};
    RowResult row;
    row.at = at;
    row.method = "URL";
    row.outcome = "HTTP/1.0 200 OK";
    std::string longName;
    for (int i = 0; i < 200; ++i)
        longName += J("予");  // 400 bytes, 600 in the file system's UTF-8
    std::vector<std::string> names = {longName, "a/../b", std::string("x\x82"), "", "same", "same"};
    for (const std::string& name : names)
        RunReportFile(name, at).Add(row);
    std::vector<std::string> files = ListFolder(dir / "report/");
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), names.size());
    for (const std::string& file : files)
        EXPECT_LE(Cp932ToUtf8(file).size(), 255u) << file.size();
    EXPECT_NE(std::find(files.begin(), files.end(), "20261208-100000_a____b.txt"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "20261208-100000_x_.txt"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "20261208-100000__.txt"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "20261208-100000_same.txt"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "20261208-100000_same~2.txt"), files.end());
    EXPECT_EQ(RunReportFile::FileNamePart(longName).size() % 2, 0u);  // cut between characters
    // Every one of them is the program's own report and is pruned by the one rule.
    PruneRunReports(0);
    EXPECT_TRUE(ListFolder(dir / "report/").empty());
}

TEST(RunReport, AReportThatCannotBeWrittenLeavesNoEmptyFileAndIsSaidOnce) {
    test::TempFolder dir;
    ::mkdir((dir / "report").c_str(), 0700);
    // A full disk stands in as a file size limit of 0 in a child process of its own.
    pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &none);
        SetProgramFolder(dir.Path());
        int said = 0;
        SetMessageSink([&](const std::string&) { ++said; });
        RowResult row;
        row.outcome = "HTTP/1.0 200 OK";
        RunReportFile first("full", LocalTime{2026, 12, 8, 10, 0, 0, 0});
        first.Add(row);
        first.Add(row);
        RunReportFile("full2", LocalTime{2026, 12, 8, 10, 0, 1, 0}).Add(row);
        ::_exit(said == 1 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(ListFolder(dir / "report/").empty());
}

}  // namespace quillrun
