// The package as a user gets it: unpacked into a scratch root, its program started with a fresh
// HOME and run against the loopback server. The package's path comes in QUILLRUN_PACKAGE
// (`make test-package` sets it).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <string>

#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

struct Ran {
    int code = -1;
    std::string out, err;
};

class InstalledPackageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* package = std::getenv("QUILLRUN_PACKAGE");
        ASSERT_TRUE(package != nullptr && *package != '\0') << "QUILLRUN_PACKAGE names no package";
        root_ = dir_ / "root";
        home_ = dir_ / "home";
        ASSERT_EQ(Command("dpkg-deb", {QStringLiteral("-x"), QString::fromLocal8Bit(package),
                                       QString::fromStdString(root_)})
                      .code,
                  0);
        ASSERT_TRUE(QFileInfo(QString::fromStdString(root_ + "/usr/bin/quillrun")).isExecutable());
        ::mkdir(home_.c_str(), 0755);
        ::mkdir((dir_ / "tmp").c_str(), 0700);
        ::mkdir((dir_ / "runtime").c_str(), 0700);
    }

    // A fresh user: own HOME, no XDG_DATA_HOME, own TMPDIR and XDG_RUNTIME_DIR, no display.
    Ran Command(const std::string& program, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), QString::fromStdString(home_));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(dir_ / "tmp"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir_ / "runtime"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QString::fromStdString(program), arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << program;
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }
    Ran Installed(const QStringList& arguments) {
        return Command(root_ + "/usr/bin/quillrun", arguments);
    }

    test::TempFolder dir_;
    std::string root_, home_;
};

// Every file under the scratch root with its size and time: what "nothing written" compares.
std::string TreeOf(const std::string& root) {
    std::string tree;
    QDirIterator it(QString::fromStdString(root),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        QFileInfo info = it.fileInfo();
        tree += info.filePath().toStdString() + " " + std::to_string(info.size()) + " " +
                std::to_string(info.lastModified().toMSecsSinceEpoch()) + "\n";
    }
    return tree;
}

}  // namespace

TEST_F(InstalledPackageTest, TheInstalledProgramRunsForAFreshUserAndWritesOnlyInItsOwnFolder) {
    std::string before = TreeOf(root_);
    Ran version = Installed({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0) << version.err;
    EXPECT_EQ(version.out.rfind("quillrun ", 0), 0u) << version.out;

    // The menu entry's command is the installed program.
    QFile desktop(QString::fromStdString(root_ + "/usr/share/applications/quillrun.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    std::string entry = desktop.readAll().toStdString();
    EXPECT_NE(entry.find("\nExec=quillrun\n"), std::string::npos) << entry;
    for (const char* file :
         {"/usr/share/icons/hicolor/48x48/apps/quillrun.png",
          "/usr/share/icons/hicolor/256x256/apps/quillrun.png", "/usr/share/man/man1/quillrun.1.gz",
          "/usr/share/quillrun/object/banner.ni_", "/usr/share/quillrun/help/index.html"})
        EXPECT_TRUE(QFile::exists(QString::fromStdString(root_ + file))) << file;

    test::LoopbackHttpServer server(
        [](const test::ReceivedRequest&) { return test::Reply::Ok("fine"); });
    std::string events = dir_ / "morning.evf";
    test::WriteFile(events, "1\tGET\t" + server.Url("/a") + "\tq=1\t\r\n");
    Ran run = Installed({QStringLiteral("--run"), QString::fromStdString(events)});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].target, "/a?q=1");

    // The per-user folder, closed to others, holds what the run wrote.
    std::string folder = home_ + "/.local/share/quillrun/";
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const char* part :
         {"quillrun.ini", "event", "cookies", "response/0_response.txt", "report"})
        EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + part))) << part;
    // Read-only parts are read where they were installed, not copied.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "object")));

    // The browser engine of the installed program replays too, without a display.
    Ran browser = Installed(
        {QStringLiteral("--run"), QString::fromStdString(events), QStringLiteral("--browser")});
    EXPECT_EQ(browser.code, 0) << browser.out << browser.err;
    int asked = 0;  // the engine may also ask for a favicon
    for (const auto& r : server.Requests())
        asked += r.target == "/a?q=1";
    EXPECT_EQ(asked, 2);

    // Nothing was written beside the program or its data.
    EXPECT_EQ(TreeOf(root_), before);
}

}  // namespace quillrun

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
