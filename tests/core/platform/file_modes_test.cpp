// Who may read the program's files: everything it creates is the user's alone, a file it
// rewrites keeps its mode, and a symbolic link stays a link to the file that is rewritten.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/file_privacy.h"
#include "core/platform/files.h"
#include "core/recording/event_list.h"
#include "core/replay/cookie_store.h"
#include "core/replay/post_guard.h"
#include "core/replay/socket_sender.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

int ModeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

class FileModesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        LoadConfiguration(app_, dir_.Path());  // the first run writes quillrun.ini
    }
    void TearDown() override { SetActivityLog("", nullptr); }

    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
    AppState app_;
};

}  // namespace

TEST_F(FileModesTest, EveryFileTheProgramCreatesIsTheUsersAlone) {
    WriteLog("entry", false);
    SaveCookieFile("SID=1;", CookieFilePath("h", "/"));
    EXPECT_EQ(RunPostGuard("hPOST/x.cgia=1"), GuardResult::Pass);
    StoreResponse("HTTP/1.0 200 OK\r\n\r\n");
    EventList events;
    events.AddEvent(kMethodPost, "http://h/login", "user=u&pass=secret");
    events.AppendEmptyPair();
    ASSERT_TRUE(events.SaveEventFile(dir_ / "event/login.evf"));
    for (const std::string& file :
         {dir_ / "quillrun.ini", dir_ / "quillrun.log", CookieFilePath("h", "/"),
          dir_ / "cookies/quillrun.sin", ResponseFilePath(0), dir_ / "event/login.evf"}) {
        EXPECT_EQ(ModeOf(file), 0600) << file;
    }
}

TEST_F(FileModesTest, ARewrittenFileKeepsTheModeTheUserGaveIt) {
    WriteLog("first", false);
    ASSERT_EQ(::chmod((dir_ / "quillrun.ini").c_str(), 0640), 0);
    ASSERT_EQ(::chmod((dir_ / "quillrun.log").c_str(), 0644), 0);
    EXPECT_TRUE(SaveConfiguration(app_));
    WriteLog("second", false);
    EXPECT_EQ(ModeOf(dir_ / "quillrun.ini"), 0640);
    EXPECT_EQ(ModeOf(dir_ / "quillrun.log"), 0644);
}

TEST_F(FileModesTest, ASaveWritesThroughASymbolicLink) {
    std::string real = dir_ / "event/real.ini";
    ASSERT_TRUE(WriteWholeFile(real, "[CONFIG]\r\nCGITestMode=1\r\n"));
    ASSERT_EQ(::chmod(real.c_str(), 0444), 0);
    ASSERT_TRUE(RemoveFile(dir_ / "quillrun.ini"));
    ASSERT_EQ(::symlink("event/real.ini", (dir_ / "quillrun.ini").c_str()), 0);
    LoadConfiguration(app_, dir_.Path());
    EXPECT_EQ(app_.settings.CGITestMode, 1);
    app_.settings.CGITestMode = 0;
    ASSERT_TRUE(SaveConfiguration(app_));
    struct stat st;
    ASSERT_EQ(::lstat((dir_ / "quillrun.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(test::ReadFile(real).find("CGITestMode=0"), std::string::npos);
    EXPECT_EQ(ModeOf(real), 0444);
}

TEST_F(FileModesTest, FoldersReadableByOthersAreSaidOnceEach) {
    EXPECT_TRUE(PrivacyWarnings(dir_.Path()).empty());
    ASSERT_EQ(::chmod((dir_ / "cookies").c_str(), 0755), 0);
    std::vector<std::string> lines = PrivacyWarnings(dir_.Path());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("cookies/"), std::string::npos);

    ASSERT_EQ(::chmod((dir_ / "cookies").c_str(), 0700), 0);
    SaveCookieFile("SID=1;", CookieFilePath("h", "/"));
    SaveCookieFile("SID=2;", CookieFilePath("g", "/"));
    ASSERT_EQ(::chmod(CookieFilePath("h", "/").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(CookieFilePath("g", "/").c_str(), 0644), 0);
    lines = PrivacyWarnings(dir_.Path());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(J("クッキーファイル")), std::string::npos);
}

}  // namespace quillrun

namespace quillrun {

TEST(OpenFileLimit, TheSoftLimitIsRaisedToTheHardOne) {
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    struct rlimit lowered = before;
    lowered.rlim_cur = std::min<rlim_t>(before.rlim_max, 256);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    EXPECT_EQ(RaiseOpenFileLimit(), static_cast<std::uint64_t>(before.rlim_max));
    struct rlimit after {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
    EXPECT_EQ(after.rlim_cur, before.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &before);
}

}  // namespace quillrun
