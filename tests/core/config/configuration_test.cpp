#include "core/config/configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "core/config/activity_log.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/paths.h"
#include "core/tasks/task_form.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

std::string TaskSection(int i, const std::string& name, const std::string& hour = "12") {
    return "[Event" + std::to_string(i) + "]\r\nEventName=" + name + "\r\nEventDataFile=/q/event/" +
           name +
           ".evf\r\nEventTime_Year=-1\r\nEventTime_Month=-1\r\nEventTime_Day=-1\r\n"
           "EventTime_Hour=" +
           hour + "\r\nEventTime_Minute=30\r\nEventExecType=1\r\n";
}

}  // namespace

TEST(Configuration, FirstRunCreatesTheFileWithItsDefaultsInOrder) {
    test::TempFolder dir;
    AppState app;
    app.settings.AutoIEClose = 0;
    app.currentTab = 3;
    LoadConfiguration(app, dir.Path());

    EXPECT_EQ(app.configPath, dir / "quillrun.ini");
    EXPECT_EQ(app.logPath, dir / "quillrun.log");
    std::string start = "file://" + dir.Path() + "help/index.html";
    EXPECT_EQ(test::ReadFile(app.configPath),
              "[DEFINE]\r\n"
              "iniver=100\r\n"
              "copyright=" +
                  std::string(kCopyrightLine) +
                  "\r\n"
                  "[CONFIG]\r\n"
                  "startpage=" +
                  start +
                  "\r\n"
                  "StartUpInTask=0\r\n"
                  "AutoIEClose=1\r\n"
                  "OutputDebugTrace=0\r\n"
                  "CGITestMode=0\r\n"
                  "[Event]\r\n"
                  "Total=0\r\n");
    EXPECT_EQ(app.settings.startpage, start);
    EXPECT_EQ(app.settings.AutoIEClose, 1);
    EXPECT_EQ(app.tasks.Count(), 0);
    EXPECT_EQ(app.currentTab, 0);
}

TEST(Configuration, SocketTimeoutsAreReadWhenPresentAndNeverWritten) {
    test::TempFolder dir;
    AppState app;
    LoadConfiguration(app, dir.Path());
    std::string firstRun = test::ReadFile(app.configPath);
    EXPECT_TRUE(SaveConfiguration(app));
    EXPECT_EQ(test::ReadFile(app.configPath), firstRun);  // no timeout keys appear
    EXPECT_EQ(app.settings.SocketConnectTimeout, 0);
    EXPECT_EQ(app.settings.SocketRowTimeout, 0);

    std::string withKeys =
        "[CONFIG]\r\nSocketConnectTimeout=4\r\nSocketReceiveTimeout=-3\r\n"
        "SocketRowTimeout=90\r\nSocketHostHeader=1\r\n";
    test::WriteFile(app.configPath, withKeys);
    LoadConfiguration(app, dir.Path());
    EXPECT_EQ(app.settings.SocketConnectTimeout, 4);
    EXPECT_EQ(app.settings.SocketRowTimeout, 90);
    EXPECT_EQ(app.settings.SocketHostHeader, 1);
    EXPECT_EQ(app.settings.SocketReceiveTimeout, 0);  // not positive: the default
    EXPECT_TRUE(SaveConfiguration(app));
    std::string saved = test::ReadFile(app.configPath);
    EXPECT_EQ(saved.rfind(withKeys, 0), 0u);  // the user's lines stay as they were
}

TEST(Configuration, ReadsSettingsAndTasksWithTheirDefaults) {
    test::TempFolder dir;
    std::string name = J("朝の予約");
    test::WriteFile(dir / "quillrun.ini",
                    "[CONFIG]\r\n"
                    "StartUpInTask=2\r\n"  // only exactly 1 means on
                    "AutoIEClose=5\r\n"    // any non-zero means on
                    "OutputDebugTrace=1\r\n"
                    "[Event]\r\n"
                    "Total=3\r\n" +
                        TaskSection(0, name) +
                        "[Event1]\r\nEventName=partial\r\nEventTime_Minute=x5\r\n"
                        "EventTime_Day=-1 \r\n");
    AppState app;
    LoadConfiguration(app, dir.Path());
    EXPECT_EQ(app.settings.startpage, "file://" + dir.Path() + "help/index.html");
    EXPECT_EQ(app.settings.StartUpInTask, 0);
    EXPECT_EQ(app.settings.AutoIEClose, 5);
    EXPECT_EQ(app.settings.OutputDebugTrace, 1);
    EXPECT_EQ(app.settings.CGITestMode, 0);

    ASSERT_EQ(app.tasks.Count(), 3);  // Total bounds the reading, missing sections included
    const TaskRecord& t0 = app.tasks.At(0);
    EXPECT_EQ(std::string(t0.EventName), name);
    EXPECT_EQ(std::string(t0.EventDataFile), "/q/event/" + name + ".evf");
    EXPECT_EQ(t0.EventTime_Year, -1);
    EXPECT_EQ(t0.EventTime_Hour, 12);
    EXPECT_EQ(t0.EventTime_Minute, 30);
    EXPECT_EQ(t0.EventExecType, 1);

    // A missing hour is hour 0, not every hour; text without a number is 0.
    const TaskRecord& t1 = app.tasks.At(1);
    EXPECT_EQ(t1.EventTime_Hour, 0);
    EXPECT_EQ(t1.EventTime_Minute, 0);
    EXPECT_EQ(t1.EventTime_Day, -1);
    EXPECT_EQ(std::string(t1.EventDataFile), "");

    const TaskRecord& t2 = app.tasks.At(2);
    EXPECT_EQ(std::string(t2.EventName), "");
    EXPECT_EQ(t2.EventExecType, 0);
}

TEST(Configuration, TotalBelowOneGivesNoTasksAndLongTextsAreCut) {
    test::TempFolder dir;
    std::string longName(400, 'n');
    test::WriteFile(dir / "quillrun.ini", "[CONFIG]\r\nstartpage=" + std::string(300, 'p') +
                                              "\r\n[Event]\r\nTotal=-4\r\n" +
                                              TaskSection(0, longName));
    AppState app;
    LoadConfiguration(app, dir.Path());
    EXPECT_EQ(app.tasks.Count(), 0);
    EXPECT_EQ(app.settings.startpage.size(), 259u);

    test::WriteFile(dir / "quillrun.ini", "[Event]\r\nTotal=1\r\n" + TaskSection(0, longName));
    LoadConfiguration(app, dir.Path());
    ASSERT_EQ(app.tasks.Count(), 1);
    EXPECT_EQ(std::strlen(app.tasks.At(0).EventName), 259u);
    // A path is never cut: the event file is the one the section names.
    EXPECT_EQ(app.tasks.At(0).EventDataFile, "/q/event/" + longName + ".evf");
}

TEST(Configuration, HugeTotalIsBoundedByTheSectionsPresent) {
    test::TempFolder dir;
    test::WriteFile(dir / "quillrun.ini",
                    "[Event]\r\nTotal=2000000000\r\n" + TaskSection(0, "a") + TaskSection(1, "b"));
    AppState app;
    LoadConfiguration(app, dir.Path());
    EXPECT_EQ(app.tasks.Count(), 2);

    // A damaged count whose only section lies far out: the tasks present are kept, and what
    // is saved is as small as what was read.
    for (const char* total : {"3000000", "99999999", "50000"}) {
        std::string far = std::to_string(std::stoi(total) - 1);
        std::string file = "[Event]\r\nTotal=" + std::string(total) + "\r\n" +
                           TaskSection(0, "first") + "[Event" + far +
                           "]\r\nEventName=far\r\n"
                           "EventDataFile=/q/far.evf\r\nEventTime_Hour=-1\r\n";
        test::WriteFile(dir / "quillrun.ini", file);
        LoadConfiguration(app, dir.Path());
        ASSERT_EQ(app.tasks.Count(), 2) << total;
        EXPECT_STREQ(app.tasks.At(0).EventName, "first");
        EXPECT_STREQ(app.tasks.At(1).EventName, "far");
        EXPECT_EQ(app.tasks.At(1).EventTime_Hour, -1);
        EXPECT_TRUE(SaveConfiguration(app));
        EXPECT_LT(test::ReadFile(dir / "quillrun.ini").size(), file.size() + 1000) << total;
        EXPECT_EQ(GetPrivateProfileString("Event", "Total", "", 260, dir / "quillrun.ini"), "2");
    }
}

TEST(Configuration, SaveRewritesSettingsAndTasksAndLeavesStaleSectionsAlone) {
    test::TempFolder dir;
    std::string file =
        "[DEFINE]\r\niniver=100\r\ncopyright=old line\r\n[CONFIG]\r\nstartpage=x\r\n"
        "[Event]\r\nTotal=5\r\n";
    for (int i = 0; i < 5; ++i)
        file += TaskSection(i, "t" + std::to_string(i));
    test::WriteFile(dir / "quillrun.ini", file);

    AppState app;
    LoadConfiguration(app, dir.Path());
    ASSERT_EQ(app.tasks.Count(), 5);
    app.tasks.Remove(1);
    app.tasks.Remove(2);  // t0, t2, t4 remain
    app.settings.CGITestMode = 1;
    app.settings.AutoIEClose = 7;  // on during the run: stored as on
    app.settings.StartUpInTask = 3;
    ASSERT_TRUE(SaveConfiguration(app));

    IniDocument ini;
    ini.Load(app.configPath);
    EXPECT_EQ(ini.GetString("DEFINE", "copyright", "", 260), "old line");
    EXPECT_EQ(ini.GetString("CONFIG", "CGITestMode", "", 260), "1");
    EXPECT_EQ(ini.GetString("CONFIG", "AutoIEClose", "", 260), "1");
    EXPECT_EQ(ini.GetString("CONFIG", "StartUpInTask", "", 260), "0");
    EXPECT_EQ(ini.GetString("CONFIG", "OutputDebugTrace", "", 260), "0");
    EXPECT_EQ(ini.GetString("Event", "Total", "", 260), "3");
    EXPECT_EQ(ini.GetString("Event1", "EventName", "", 260), "t2");
    EXPECT_EQ(ini.GetString("Event2", "EventName", "", 260), "t4");
    EXPECT_EQ(ini.GetString("Event3", "EventName", "", 260), "t3");  // stale, untouched
    EXPECT_EQ(ini.GetString("Event4", "EventName", "", 260), "t4");
    EXPECT_EQ(ini.GetString("Event0", "EventTime_Year", "", 260), "-1");

    AppState again;
    LoadConfiguration(again, dir.Path());
    ASSERT_EQ(again.tasks.Count(), 3);
    EXPECT_EQ(std::string(again.tasks.At(2).EventName), "t4");
    EXPECT_EQ(again.settings.AutoIEClose, 1);

    AppState off;
    LoadConfiguration(off, dir.Path());
    off.settings.AutoIEClose = 0;
    SaveConfiguration(off);
    EXPECT_EQ(GetPrivateProfileString("CONFIG", "AutoIEClose", "", 260, off.configPath), "0");
}

TEST(Configuration, AnOffsetIsStoredOnlyWhenSetAndLeavesWithItsTask) {
    test::TempFolder dir;
    std::string file = "[CONFIG]\r\nstartpage=x\r\n[Event]\r\nTotal=3\r\n" + TaskSection(0, "a") +
                       TaskSection(1, "b") + TaskSection(2, "c") +
                       "EventOffsetMs=-99999\r\n";  // out of range: held to 30 s
    test::WriteFile(dir / "quillrun.ini", file);
    AppState app;
    LoadConfiguration(app, dir.Path());
    ASSERT_EQ(app.tasks.Count(), 3);
    EXPECT_EQ(app.tasks.At(0).EventOffsetMs, 0);
    EXPECT_EQ(app.tasks.At(2).EventOffsetMs, -30000);

    // Tasks without an offset: the file is written byte for byte as before.
    app.tasks.At(2).EventOffsetMs = 0;
    ASSERT_TRUE(SaveConfiguration(app));
    std::string plain = test::ReadFile(dir / "quillrun.ini");
    EXPECT_EQ(plain.find("EventOffsetMs"), std::string::npos);
    AppState none;
    LoadConfiguration(none, dir.Path());
    SaveConfiguration(none);
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), plain);

    // An offset goes after the task's keys; a task moving down a section does not inherit it.
    app.tasks.At(1).EventOffsetMs = 1500;
    ASSERT_TRUE(SaveConfiguration(app));
    EXPECT_NE(
        test::ReadFile(dir / "quillrun.ini").find("EventExecType=1\r\nEventOffsetMs=1500\r\n"),
        std::string::npos);
    app.tasks.Remove(1);
    ASSERT_TRUE(SaveConfiguration(app));
    AppState after;
    LoadConfiguration(after, dir.Path());
    ASSERT_EQ(after.tasks.Count(), 2);
    EXPECT_EQ(std::string(after.tasks.At(1).EventName), "c");
    EXPECT_EQ(after.tasks.At(1).EventOffsetMs, 0);
}

TEST(Configuration, AFileThatExistsButCannotBeReadIsRefusedAndLeftAsItIs) {
    test::TempFolder dir(test::TempFolder::Reach::OtherAccounts);
    std::string tasks =
        "[CONFIG]\r\nstartpage=x\r\n[Event]\r\nTotal=1\r\n" + TaskSection(0, "mine");
    test::WriteFile(dir / "quillrun.ini", tasks);
    ::chmod((dir / "quillrun.ini").c_str(), 0000);  // another account's file, as after sudo
    EXPECT_TRUE(test::AsAnotherAccount(dir, [&] {
        AppState app;
        return !LoadConfiguration(app, dir.Path()) && app.tasks.Count() == 0;
    }));
    ::chmod((dir / "quillrun.ini").c_str(), 0600);
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), tasks);  // not replaced by the defaults

    // A pipe or a folder under the name is refused too, without waiting on it.
    test::TempFolder other;
    ASSERT_EQ(::mkfifo((other / "quillrun.ini").c_str(), 0600), 0);
    AppState app;
    EXPECT_FALSE(LoadConfiguration(app, other.Path()));
    EXPECT_NE(UnreadableConfigurationMessage(app).find("quillrun.ini"), std::string::npos);
}

TEST(Configuration, StartOfRunFilesTrimTheLogAndDropTheGuardFile) {
    test::TempFolder dir;
    dir.MakeProgramFolders();
    AppState app;
    LoadConfiguration(app, dir.Path());
    test::WriteFile(dir / "cookies/quillrun.sin", "guard\r\n");
    test::WriteFile(dir / "quillrun.log", std::string(10241, 'x'));
    PrepareRunFiles(app);
    EXPECT_FALSE(FileExists(dir / "cookies/quillrun.sin"));
    EXPECT_FALSE(FileExists(dir / "quillrun.log"));
}

TEST(Configuration, StartOfRunRemovesTheTemporaryCopiesOfKilledSaves) {
    test::TempFolder dir;
    dir.MakeProgramFolders();
    AppState app;
    LoadConfiguration(app, dir.Path());
    pid_t gone = ::fork();  // a process that has ended: its pid names no running process
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    std::string dead = std::to_string(gone), alive = std::to_string(::getppid());
    for (const std::string& name :
         {"quillrun.ini.tmp" + dead + "_0", "event/morning.evf.tmp" + dead + "_12",
          "cookies/[h][@].cookie.tmp" + dead + "_3", "quillrun.ini.tmp" + alive + "_1",
          std::string("event/notes.tmp"), "event/a.tmp" + dead + "_x"})
        test::WriteFile(dir / name, "x");
    PrepareRunFiles(app);
    EXPECT_FALSE(FileExists(dir / ("quillrun.ini.tmp" + dead + "_0")));
    EXPECT_FALSE(FileExists(dir / ("event/morning.evf.tmp" + dead + "_12")));
    EXPECT_FALSE(FileExists(dir / ("cookies/[h][@].cookie.tmp" + dead + "_3")));
    // A running process's copy, and names that only look alike, stay.
    EXPECT_TRUE(FileExists(dir / ("quillrun.ini.tmp" + alive + "_1")));
    EXPECT_TRUE(FileExists(dir / "event/notes.tmp"));
    EXPECT_TRUE(FileExists(dir / ("event/a.tmp" + dead + "_x")));
}

TEST(Configuration, AProgramFolderOfAnyLengthOrCharacterKeepsItsFilesApart) {
    test::TempFolder base;
    // A folder path of more than 300 bytes: settings and log stay two files.
    std::string deep = base.Path();
    while (deep.size() < 300) {
        deep += std::string(40, 'd') + "/";
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    {
        test::ScopedProgramFolder program(deep);
        AppState app;
        ASSERT_TRUE(LoadConfiguration(app, deep));
        std::int32_t trace = 0;
        SetActivityLog(app.logPath, &trace);
        WriteLog("entry", false);
        SetActivityLog("", nullptr);
        EXPECT_EQ(test::ReadFile(deep + "quillrun.ini").rfind("[DEFINE]", 0), 0u);
        EXPECT_EQ(test::ReadFile(deep + "quillrun.log").rfind("[log]", 0), 0u);
        EXPECT_EQ(test::ReadFile(deep + "quillrun.ini").find("entry"), std::string::npos);
    }
    // A folder whose name holds a character CP932 lacks: its own bytes reach the file system.
    std::string cafe = base / "caf\xC3\xA9/";
    ASSERT_EQ(::mkdir(cafe.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((cafe + "event").c_str(), 0700), 0);
    test::ScopedProgramFolder restore(base.Path());
    SetNativeProgramFolder(cafe);
    AppState app;
    ASSERT_TRUE(LoadConfiguration(app));
    EXPECT_NE(app.settings.startpage.find("caf%C3%A9/help/index.html"), std::string::npos);
    TaskRecord task;
    task.SetName("t");
    task.SetDataFile(TaskEventFilePath("t"));
    ASSERT_TRUE(WriteWholeFile(task.EventDataFile, "1\tURL\thttp://h/\t\t\r\n"));
    app.tasks.Append(task);
    ASSERT_TRUE(SaveConfiguration(app));
    std::ifstream written(cafe + "event/t.evf", std::ios::binary);  // the folder's own bytes
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}),
              "1\tURL\thttp://h/\t\t\r\n");
    std::ifstream settings(cafe + "quillrun.ini", std::ios::binary);
    EXPECT_TRUE(settings.good());
    AppState again;
    ASSERT_TRUE(LoadConfiguration(again));
    ASSERT_EQ(again.tasks.Count(), 1);
    std::string content;
    EXPECT_TRUE(ReadWholeFile(again.tasks.At(0).EventDataFile, content));
    EXPECT_EQ(content, "1\tURL\thttp://h/\t\t\r\n");
}

TEST(Configuration, SuccessRulesRetriesAndTheNotifyCommandAreStoredOnlyWhenSet) {
    test::TempFolder dir;
    std::string file = "[CONFIG]\r\nstartpage=x\r\n[Event]\r\nTotal=2\r\n" + TaskSection(0, "a") +
                       TaskSection(1, "b");
    test::WriteFile(dir / "quillrun.ini", file);
    AppState app;
    LoadConfiguration(app, dir.Path());
    ASSERT_TRUE(SaveConfiguration(app));
    std::string plain = test::ReadFile(dir / "quillrun.ini");
    for (const char* key : {"EventExpectText", "EventRejectText", "EventExpectStatus",
                            "EventRetryMs", "EventRetrySeconds", "EventNotify", "NotifyCommand",
                            "EventFreshHidden", "EventMomentRow", "EventLeadSeconds"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;

    app.tasks.At(0).EventExpectText = J("予約完了");
    app.tasks.At(0).EventRejectText = J("受付前です");
    app.tasks.At(0).EventExpectStatus = "200-299";
    app.tasks.At(0).EventRetryMs = 200;
    app.tasks.At(0).EventRetrySeconds = 30;
    app.tasks.At(0).EventNotify = 2;
    app.tasks.At(0).EventFreshHidden = 1;
    app.tasks.At(0).EventMomentRow = 3;
    app.tasks.At(0).EventLeadSeconds = 45;
    app.tasks.At(1).EventLeadSeconds = 45;  // no moment row: the lead is still its own key
    app.settings.NotifyCommand = "notify-send quillrun";
    ASSERT_TRUE(SaveConfiguration(app));
    AppState again;
    LoadConfiguration(again, dir.Path());
    const TaskRecord& task = again.tasks.At(0);
    EXPECT_EQ(task.EventExpectText, J("予約完了"));
    EXPECT_EQ(task.EventRejectText, J("受付前です"));
    EXPECT_EQ(task.EventExpectStatus, "200-299");
    EXPECT_EQ(task.EventRetryMs, 200);
    EXPECT_EQ(task.EventRetrySeconds, 30);
    EXPECT_EQ(task.EventNotify, 2);
    EXPECT_EQ(task.EventFreshHidden, 1);
    EXPECT_EQ(task.EventMomentRow, 3);
    EXPECT_EQ(task.EventLeadSeconds, 45);
    EXPECT_EQ(again.tasks.At(1).EventMomentRow, 1);
    EXPECT_EQ(again.tasks.At(1).EventLeadSeconds, 45);
    again.tasks.At(1).EventLeadSeconds = kDefaultLeadSeconds;
    EXPECT_EQ(again.tasks.At(1).EventNotify, 1);
    EXPECT_EQ(again.settings.NotifyCommand, "notify-send quillrun");

    // Taken away again, the file is as it was.
    again.tasks.At(0) = TaskRecord();
    again.tasks.At(0) = again.tasks.At(1);
    again.tasks.At(0).SetName("a");
    again.tasks.At(0).SetDataFile("/q/event/a.evf");
    again.settings.NotifyCommand.clear();
    ASSERT_TRUE(SaveConfiguration(again));
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), plain);

    // Values out of reason are held to it: a status text that is none, a retry too often.
    test::WriteFile(dir / "quillrun.ini", "[Event]\r\nTotal=1\r\n" + TaskSection(0, "a") +
                                              "EventExpectStatus=2xx\r\nEventRetryMs=5\r\n"
                                              "EventNotify=7\r\nEventMomentRow=-4\r\n"
                                              "EventLeadSeconds=99999\r\n");
    AppState odd;
    LoadConfiguration(odd, dir.Path());
    EXPECT_EQ(odd.tasks.At(0).EventMomentRow, 1);
    EXPECT_EQ(odd.tasks.At(0).EventLeadSeconds, kLongestLeadSeconds);
    EXPECT_EQ(odd.tasks.At(0).EventExpectStatus, "");
    EXPECT_EQ(odd.tasks.At(0).EventRetryMs, 100);
    EXPECT_EQ(odd.tasks.At(0).EventNotify, 2);
}

}  // namespace quillrun
