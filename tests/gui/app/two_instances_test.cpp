// Two real processes of the program: the second start is refused without touching a file of
// the first, and brings the first back; SIGTERM ends the first normally, saving its settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "core/platform/ini.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

// Each start has its own TMPDIR (where the local socket lives) unless told otherwise; the
// runtime folder, where the lock lives, is the one given.
QProcess* Start(const std::string& program, const std::string& tmp, QObject* parent,
                const std::string& runtime) {
    auto* process = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(tmp));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    process->setProcessEnvironment(env);
    process->start(QString::fromStdString(program), {});
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
    std::string socket = sockets / ("quillrun-" + std::to_string(::getuid()));
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

    // A start with another TMPDIR cannot see the socket, but the lock still refuses it (and it
    // cannot remove the first one's socket either).
    test::TempFolder otherTmp;
    QProcess* third = Start(program, otherTmp.Path(), &owner, runtime.Path());
    ASSERT_TRUE(third->waitForFinished(15000));
    EXPECT_TRUE(QString::fromUtf8(third->readAllStandardError())
                    .contains(QString::fromUtf8("既に起動しています")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(socket)));
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

}  // namespace quillrun
