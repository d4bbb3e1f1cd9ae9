// Two real processes of the program: the second start is refused without touching a file of
// the first, and brings the first back; SIGTERM ends the first normally, saving its settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "core/platform/ini.h"
#include "gui/app/single_instance.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

// Each start names the folder of its per-user lock and socket (as tests must, so that programs
// started by tests at the same time never meet); TMPDIR and XDG_RUNTIME_DIR are its own and
// play no part.
QProcess* Start(const std::string& program, const std::string& instance, QObject* parent,
                const std::string& environmentFolder) {
    auto* process = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(environmentFolder));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(environmentFolder));
    process->setProcessEnvironment(env);
    process->start(QString::fromStdString(program),
                   {QStringLiteral("--instance-dir"), QString::fromStdString(instance)});
    return process;
}

}  // namespace

TEST(TwoInstances, SecondStartIsRefusedTouchesNoFileAndBringsTheFirstBack) {
    test::TempFolder dir;
    test::TempFolder sockets;
    dir.MakeProgramFolders();
    std::string program = dir / "quillrun";
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(QUILLRUN_TEST_PROGRAM), QString::fromStdString(program)));
    test::WriteFile(
        dir / "quillrun.ini",
        "[CONFIG]\r\nstartpage=about:blank\r\nStartUpInTask=1\r\n[Event]\r\nTotal=0\r\n");

    test::WriteFile(dir / "cookies/quillrun.sin", "old\r\n");
    test::WriteFile(dir / "quillrun.log", std::string(20000, 'o'));

    test::TempFolder runtime;
    QObject owner;
    QProcess* first = Start(program, sockets.Path(), &owner, runtime.Path());
    ASSERT_TRUE(first->waitForStarted(5000));
    std::string socket = sockets / "quillrun.socket";
    // Started: listening, and its own start has dropped the guard file and trimmed the log.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return QFile::exists(QString::fromStdString(socket)) &&
                   !QFile::exists(QString::fromStdString(dir / "cookies/quillrun.sin")) &&
                   !QFile::exists(QString::fromStdString(dir / "quillrun.log"));
        },
        15000));
    // The first instance's run files, as they are while it runs.
    test::WriteFile(dir / "cookies/quillrun.sin", "hostPOST/x.cgia=1\r\n");
    test::WriteFile(dir / "quillrun.log", std::string(20000, 'x'));
    std::string ini = test::ReadFile(dir / "quillrun.ini");

    QProcess* second = Start(program, sockets.Path(), &owner, runtime.Path());
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitCode(), 0);
    QString said = QString::fromUtf8(second->readAllStandardError());
    EXPECT_TRUE(said.contains(
        QString::fromUtf8("prompt: 処理中断: 既に起動しています。２つ以上起動できません。")))
        << said.toStdString();
    EXPECT_EQ(test::ReadFile(dir / "cookies/quillrun.sin"), "hostPOST/x.cgia=1\r\n");
    EXPECT_EQ(test::ReadFile(dir / "quillrun.log").size(), 20000u);
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), ini);

    QString firstSaid;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            firstSaid += QString::fromUtf8(first->readAllStandardError());
            return firstSaid.contains(QStringLiteral("shown again at a second start"));
        },
        10000));

    // Another TMPDIR and XDG_RUNTIME_DIR (cron, su) change nothing: the same per-user lock
    // refuses it, and it cannot remove the first one's socket either.
    test::TempFolder otherEnvironment;
    QProcess* third = Start(program, sockets.Path(), &owner, otherEnvironment.Path());
    ASSERT_TRUE(third->waitForFinished(15000));
    EXPECT_TRUE(QString::fromUtf8(third->readAllStandardError())
                    .contains(QString::fromUtf8("既に起動しています")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(socket)));
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), ini);

    // Even a start with a per-user lock of its own never runs on the same program folder.
    test::TempFolder otherInstance;
    QProcess* fourth = Start(program, otherInstance.Path(), &owner, otherEnvironment.Path());
    ASSERT_TRUE(fourth->waitForFinished(15000));
    EXPECT_EQ(fourth->exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(fourth->readAllStandardError())
                    .contains(QString::fromUtf8("このプログラムフォルダーでは既に別の quillrun")));
    EXPECT_EQ(test::ReadFile(dir / "quillrun.ini"), ini);

    // SIGTERM is a normal end: the settings in memory are written back.
    WritePrivateProfileString("CONFIG", "startpage", "changed on disk", dir / "quillrun.ini");
    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(GetPrivateProfileString("CONFIG", "startpage", "", 260, dir / "quillrun.ini"),
              "about:blank");
    EXPECT_EQ(GetPrivateProfileString("CONFIG", "StartUpInTask", "", 260, dir / "quillrun.ini"),
              "1");
}

TEST(InstanceLocks, AFolderOthersCanEnterIsRefusedAndEachLockHoldsOnce) {
    test::TempFolder open, own, program;
    ::chmod(open.Path().c_str(), 0755);
    SingleInstance::SetInstanceFolder(QString::fromStdString(open.Path()));
    QString problem;
    EXPECT_TRUE(SingleInstance::InstanceFolder(&problem).isEmpty());
    EXPECT_TRUE(problem.contains(QStringLiteral("0700")));
    SingleInstance refused;
    EXPECT_EQ(refused.TakeLock(&problem), SingleInstance::Lock::Impossible);

    SingleInstance::SetInstanceFolder(QString::fromStdString(own / "made"));  // made 0700
    SingleInstance first, second;
    EXPECT_EQ(first.TakeLock(), SingleInstance::Lock::Taken);
    EXPECT_EQ(second.TakeLock(), SingleInstance::Lock::Held);
    QString folder = QString::fromStdString(program.Path());
    EXPECT_EQ(first.TakeFolderLock(folder), SingleInstance::Lock::Taken);
    EXPECT_EQ(second.TakeFolderLock(folder), SingleInstance::Lock::Held);
    EXPECT_EQ(second.TakeFolderLock(QStringLiteral("/no/such/folder/")),
              SingleInstance::Lock::Impossible);
    SingleInstance::SetInstanceFolder(QString());
}

}  // namespace quillrun
