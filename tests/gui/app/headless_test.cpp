// The program without a window: the scheduler and both engines under a set clock, and the
// --headless process with no display, refusing a second start and ending on SIGTERM.
#include "gui/app/headless.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <chrono>
#include <thread>

#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "gui/app/scheduler_loop.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

TaskRecord EveryMinute(const std::string& name, const std::string& file, int exec) {
    TaskRecord t;
    t.SetName(name);
    t.SetDataFile(file);
    t.EventTime_Year = t.EventTime_Month = t.EventTime_Day = t.EventTime_Hour = -1;
    t.EventTime_Minute = -1;
    t.EventExecType = exec;
    return t;
}

class HeadlessTest : public test::GuiProgramTest {};

}  // namespace

TEST_F(HeadlessTest, DueTasksRunThroughBothEnginesWithoutAWindow) {
    test::LoopbackHttpServer server;
    test::WriteFile(dir_ / "event/sock.evf", "1\tURL\t" + server.Url("/sock") + "\t\t\r\n");
    test::WriteFile(dir_ / "event/ie.evf", "1\tURL\t" + server.Url("/ie") + "\t\t\r\n");
    App().tasks.Append(EveryMinute("sock", dir_ / "event/sock.evf", kExecSocket));
    App().tasks.Append(EveryMinute("ie", dir_ / "event/ie.evf", kExecIE));
    test::FixedClock clock(LocalTime{2026, 12, 6, 9, 30, 0, 0});
    test::ScopedClock scoped(clock);
    HeadlessProgram program;
    program.loop().Tick();  // the browser replay returns when its file is done
    ASSERT_TRUE(server.WaitForRequests(2, 20000));
    bool sock = false, ie = false;
    for (const auto& r : server.Requests()) {
        sock = sock || r.target == "/sock?";
        ie = ie || r.target == "/ie";
    }
    EXPECT_TRUE(sock);
    EXPECT_TRUE(ie);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return FileExists(dir_ / "report/20261206-093000_ie.txt"); }, 5000));
}

TEST(HeadlessProcess, RunsWithNoDisplayRefusesASecondStartAndEndsOnSigterm) {
    test::TempFolder dir, runtime;
    dir.MakeProgramFolders();
    std::string program = dir / "quillrun";
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLRUN_TEST_DIST_DIR "quillrun"),
                            QString::fromStdString(program)));
    test::WriteFile(dir / "quillrun.ini",
                    "[CONFIG]\r\nstartpage=about:blank\r\n[Event]\r\nTotal=0\r\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(runtime.Path()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.Path()));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QString::fromStdString(program),
                {QStringLiteral("--headless"), QStringLiteral("--instance-dir"),
                 QString::fromStdString(runtime.Path())});
    QString said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            said += QString::fromUtf8(first.readAllStandardError());
            return said.contains(QStringLiteral("without a window"));
        },
        20000))
        << said.toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QString::fromStdString(program),
                 {QStringLiteral("--headless"), QStringLiteral("--instance-dir"),
                  QString::fromStdString(runtime.Path())});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    QString refused = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(refused.contains(QStringLiteral("already running for this user (headless, pid ") +
                                 QString::number(first.processId())))
        << refused.toStdString();

    // The desktop program says who holds the lock, and how to end it: it has no window to
    // bring back.
    QProcess desktop;
    QProcessEnvironment offscreen = env;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    desktop.setProcessEnvironment(offscreen);
    desktop.start(QStringLiteral(QUILLRUN_TEST_PROGRAM),
                  {QStringLiteral("--instance-dir"), QString::fromStdString(runtime.Path())});
    ASSERT_TRUE(desktop.waitForFinished(20000));
    QString box = QString::fromUtf8(desktop.readAllStandardError());
    EXPECT_TRUE(box.contains(QString::fromUtf8("既に起動しています。２つ以上起動できません。")))
        << box.toStdString();
    EXPECT_TRUE(box.contains(QString::fromUtf8("quillrun --headless、pid ") +
                             QString::number(first.processId())))
        << box.toStdString();
    EXPECT_TRUE(box.contains(QString::fromStdString(dir.Path()))) << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("kill ") + QString::number(first.processId())));

    WritePrivateProfileString("CONFIG", "startpage", "changed on disk", dir / "quillrun.ini");
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(GetPrivateProfileString("CONFIG", "startpage", "", 260, dir / "quillrun.ini"),
              "about:blank");
}

TEST(HeadlessProcess, SigtermWhileSocketTasksRunEndsWithoutACrashAndStartsNoNewRow) {
    // A slow server: every row is still running when the end comes.
    test::LoopbackHttpServer server([](const test::ReceivedRequest&) {
        test::Reply reply = test::Reply::Ok("slow");
        reply.delayMilliseconds = 400;
        return reply;
    });
    for (int round = 0; round < 3; ++round) {
        test::TempFolder dir, runtime;
        dir.MakeProgramFolders();
        std::string program = dir / "quillrun";
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLRUN_TEST_DIST_DIR "quillrun"),
                                QString::fromStdString(program)));
        // Twenty Socket tasks of three rows each, due a few seconds from now (the minute and an
        // offset that reach that moment).
        long long due = ToEpochMilliseconds(SystemClock().Now()) + 4000;
        long long minute = (due + 30000) / 60000 * 60000;
        LocalTime m = FromEpochMilliseconds(minute);
        std::string ini = "[CONFIG]\r\nstartpage=about:blank\r\n[Event]\r\nTotal=20\r\n";
        for (int i = 0; i < 20; ++i) {
            std::string file = dir / ("event/t" + std::to_string(i) + ".evf");
            std::string rows;
            for (int r = 1; r <= 3; ++r)
                rows += std::to_string(r) + "\tURL\t" +
                        server.Url("/" + std::to_string(round) + "/" + std::to_string(i) + "/" +
                                   std::to_string(r)) +
                        "\t\t\r\n";
            test::WriteFile(file, rows);
            ini += "[Event" + std::to_string(i) + "]\r\nEventName=t" + std::to_string(i) +
                   "\r\nEventDataFile=" + file + "\r\nEventTime_Year=" + std::to_string(m.year) +
                   "\r\nEventTime_Month=" + std::to_string(m.month) +
                   "\r\nEventTime_Day=" + std::to_string(m.day) +
                   "\r\nEventTime_Hour=" + std::to_string(m.hour) +
                   "\r\nEventTime_Minute=" + std::to_string(m.minute) +
                   "\r\nEventExecType=0\r\nEventOffsetMs=" + std::to_string(due - minute) + "\r\n";
        }
        test::WriteFile(dir / "quillrun.ini", ini);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(runtime.Path()));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.Path()));
        QProcess headless;
        headless.setProcessEnvironment(env);
        headless.start(QString::fromStdString(program),
                       {QStringLiteral("--headless"), QStringLiteral("--instance-dir"),
                        QString::fromStdString(runtime.Path())});
        std::size_t before = server.RequestCount();
        ASSERT_TRUE(server.WaitForRequests(before + 20, 15000)) << round;
        ::kill(static_cast<pid_t>(headless.processId()), SIGTERM);
        ASSERT_TRUE(headless.waitForFinished(30000));
        std::string said = headless.readAllStandardError().toStdString();
        EXPECT_EQ(headless.exitStatus(), QProcess::NormalExit) << said;
        EXPECT_EQ(headless.exitCode(), 0) << said;
        EXPECT_EQ(said.find("double free"), std::string::npos) << said;
        // The rows running at the end finished; none started after it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_LT(server.RequestCount() - before, 60u) << round;
        EXPECT_EQ(GetPrivateProfileString("Event", "Total", "", 260, dir / "quillrun.ini"), "20");
    }
}

}  // namespace quillrun
