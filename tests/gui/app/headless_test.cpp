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
    first.start(QString::fromStdString(program), {QStringLiteral("--headless")});
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
    second.start(QString::fromStdString(program), {QStringLiteral("--headless")});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains(QStringLiteral("already running")));

    WritePrivateProfileString("CONFIG", "startpage", "changed on disk", dir / "quillrun.ini");
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(GetPrivateProfileString("CONFIG", "startpage", "", 260, dir / "quillrun.ini"),
              "about:blank");
}

}  // namespace quillrun
