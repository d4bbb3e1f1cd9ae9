#include "core/config/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>
#include <vector>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/message_sink.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

LocalTime At(int ms) {
    return LocalTime{2007, 1, 5, 13, 4, 9, ms};
}

class ActivityLogTest : public ::testing::Test {
  protected:
    void SetUp() override { SetActivityLog(path_, &trace_); }
    void TearDown() override { SetActivityLog("", nullptr); }

    test::TempFolder dir_;
    std::string path_ = dir_ / "quillrun.log";
    std::int32_t trace_ = 0;
    test::FixedClock clock_{At(7)};
    test::ScopedClock scoped_{clock_};
};

}  // namespace

TEST_F(ActivityLogTest, EntriesOfOneMillisecondTakeTheNextFreeKey) {
    EXPECT_EQ(LogKey(At(7), 1), "Logged_2007/01/05 13:04:09.007");
    WriteLog(J("イベント実行 a"), false);
    WriteLog("second", false);
    WriteLog("third", false);
    EXPECT_EQ(test::ReadFile(path_),
              "[log]\r\n"
              "Logged_2007/01/05 13:04:09.007=" +
                  J("イベント実行 a") +
                  "\r\n"
                  "Logged_2007/01/05 13:04:09.007-2=second\r\n"
                  "Logged_2007/01/05 13:04:09.007-3=third\r\n");
}

TEST_F(ActivityLogTest, AnEmptyMessageLeavesItsKeyFreeAndLineBreaksStayOut) {
    WriteLog("", false);
    WriteLog("next", false);
    WriteLog("a\r\nb", false);
    EXPECT_EQ(test::ReadFile(path_),
              "[log]\r\n"
              "Logged_2007/01/05 13:04:09.007=next\r\n"
              "Logged_2007/01/05 13:04:09.007-2=a  b\r\n");
}

TEST_F(ActivityLogTest, TraceEntriesFollowTheSetting) {
    WriteLog("Direct Input Dialog _ Show", true);
    EXPECT_FALSE(FileExists(path_));
    trace_ = 1;
    WriteLog("Direct Input Dialog _ Show", true);
    EXPECT_EQ(GetPrivateProfileString("log", LogKey(At(7), 1), "", 260, path_),
              "Direct Input Dialog _ Show");
}

TEST_F(ActivityLogTest, TheHundredthEntryOfAMillisecondIsDropped) {
    for (int i = 0; i < 100; ++i)
        WriteLog("m" + std::to_string(i), false);
    IniDocument ini;
    ini.Load(path_);
    EXPECT_EQ(ini.GetString("log", LogKey(At(7), 99), "", 260), "m98");
    EXPECT_EQ(test::ReadFile(path_).find("m99"), std::string::npos);
}

TEST_F(ActivityLogTest, ThreadsNeverOverwriteEachOther) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i)
                WriteLog("t" + std::to_string(t) + "_" + std::to_string(i), false);
        });
    }
    for (auto& th : threads)
        th.join();
    IniDocument ini;
    ini.Load(path_);
    int found = 0;
    for (int n = 1; n <= 40; ++n)
        found += ini.GetString("log", LogKey(At(7), n), "", 260).empty() ? 0 : 1;
    EXPECT_EQ(found, 40);
}

TEST(ActivityLogTrim, DeletesOnlyFilesLargerThan10240Bytes) {
    test::TempFolder dir;
    std::string path = dir / "quillrun.log";
    test::WriteFile(path, std::string(10240, 'x'));
    TrimLogAtStartup(path);
    EXPECT_TRUE(FileExists(path));
    test::WriteFile(path, std::string(10241, 'x'));
    TrimLogAtStartup(path);
    EXPECT_FALSE(FileExists(path));
    TrimLogAtStartup(path);  // no file: nothing happens

    // After a trim the first entry makes a new file with the section.
    std::int32_t trace = 0;
    SetActivityLog(path, &trace);
    test::FixedClock clock(LocalTime{2026, 12, 6, 1, 2, 3, 4});
    test::ScopedClock scoped(clock);
    WriteLog("x", false);
    EXPECT_EQ(test::ReadFile(path), "[log]\r\nLogged_2026/12/06 01:02:03.004=x\r\n");
    SetActivityLog("", nullptr);
}

// The profile writer's way of writing one entry, to compare the appends against.
void WriteLikeTheProfileWriter(const std::string& path, const std::string& message,
                               const LocalTime& t) {
    IniDocument doc;
    doc.Load(path);
    for (int n = 1; n <= 99; ++n) {
        if (doc.GetString("log", LogKey(t, n), "", 260).empty()) {
            doc.SetString("log", LogKey(t, n), message);
            doc.Save(path);
            return;
        }
    }
}

TEST_F(ActivityLogTest, AppendsGiveTheProfileWritersBytesWhateverTheFileHolds) {
    const std::string starts[] = {
        "",
        "[log]\r\nLogged_2007/01/05 13:04:09.007=a\r\n",
        "[log]\r\nLogged_2007/01/05 13:04:09.007=a\r\n\r\n; note\r\n",
        "[log]\r\nLogged_2007/01/05 13:04:09.007=a",
        "[log]\r\nLogged_2007/01/05 13:04:09.007=\r\nLogged_2007/01/05 13:04:09.008=b\r\n",
        "[log]\r\nLogged_2007/01/05 13:04:09.007=a\r\n[other]\r\nk=v\r\n",
        "[LOG]\nlogged_2007/01/05 13:04:09.007-2=\"q\"\n",
    };
    std::string reference = dir_ / "reference.log";
    for (const std::string& start : starts) {
        SetActivityLog(path_, &trace_);
        test::WriteFile(path_, start);
        test::WriteFile(reference, start);
        int step = 0;
        for (int ms : {7, 7, 8, 7, 9, 9}) {
            clock_.Set(At(ms));
            std::string message = "m" + std::to_string(step++);
            WriteLog(message, false);
            WriteLikeTheProfileWriter(reference, message, At(ms));
            if (step == 3) {
                // The user edits the file between two entries.
                test::WriteFile(path_, test::ReadFile(path_) + "; kept\r\n");
                test::WriteFile(reference, test::ReadFile(reference) + "; kept\r\n");
            }
        }
        EXPECT_EQ(test::ReadFile(path_), test::ReadFile(reference)) << start;
        RemoveFile(path_);
        RemoveFile(reference);
    }
}

TEST_F(ActivityLogTest, AFailedWriteIsSaidOnceInTheMessageList) {
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    SetActivityLog(dir_ / "no-such-folder/quillrun.log", &trace_);
    WriteLog("a", false);
    WriteLog("b", false);
    SetMessageSink(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("quillrun.log"), std::string::npos);
}

TEST(ActivityLogAccess, ALogThatCannotBeOpenedIsNeitherTrimmedNorReplaced) {
    test::TempFolder dir(test::TempFolder::Reach::OtherAccounts);
    std::string path = dir / "quillrun.log";
    std::string other = "[log]\r\n" + std::string(20000, 'x') + "\r\n";  // over the limit
    test::WriteFile(path, other);
    ::chmod(path.c_str(), 0000);  // another account's log
    EXPECT_TRUE(test::AsAnotherAccount(dir, [&] {
        TrimLogAtStartup(path);
        std::int32_t trace = 0;
        SetActivityLog(path, &trace);
        std::vector<std::string> said;
        SetMessageSink([&](const std::string& text) { said.push_back(text); });
        WriteLog("first", false);
        WriteLog("second", false);
        SetMessageSink(nullptr);
        SetActivityLog("", nullptr);
        return said.size() == 1;  // the failure is said once
    }));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(test::ReadFile(path), other);
}

}  // namespace quillrun
