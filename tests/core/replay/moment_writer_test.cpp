// Many Socket tasks due at one moment: the moment writer writes every request, none is lost
// and each run says its outcome, with the usual soft limit of open files raised as at start.
#include "core/replay/moment_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/replay/socket_sender.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

TEST(MomentWriter, AThousandTasksAtOneMomentAllLeaveAndEachSaysItsOutcome) {
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit usual = before;
    usual.rlim_cur = std::min<rlim_t>(1024, before.rlim_max);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &usual), 0);
    // A thousand connections of the tasks and as many of the server, in this one process.
    if (RaiseOpenFileLimit() < 2600) {
        setrlimit(RLIMIT_NOFILE, &before);
        GTEST_SKIP() << "the hard limit of open files is below 2600 here";
    }
    test::TempFolder dir;
    dir.MakeProgramFolders();
    test::ScopedProgramFolder program(dir.Path());
    std::mutex lock;
    std::vector<std::string> said;
    SetMessageSink([&](const std::string& text) {
        std::lock_guard<std::mutex> guard(lock);
        said.push_back(text);
    });
    test::LoopbackHttpServer server;
    // A task of its own address each: the duplicate-post guard lets a key through four times.
    constexpr int kTasks = 1000;
    for (int k = 0; k < kTasks; ++k) {
        test::WriteFile(dir / ("event/m" + std::to_string(k) + ".evf"),
                        "1\tURL\t" + server.Url("/moment-check/" + std::to_string(k)) +
                            "\t\t\r\n2\t\t\t\t\r\n");
    }
    LocalTime moment =
        FromEpochMilliseconds((ToEpochMilliseconds(CurrentClock().Now()) / 1000 + 4) * 1000);
    for (int k = 0; k < kTasks; ++k)
        StartSocketReplayThread(dir / ("event/m" + std::to_string(k) + ".evf"),
                                "task" + std::to_string(k), moment, RunSettings{}, nullptr);
    EXPECT_TRUE(server.WaitForRequests(kTasks, 60000)) << server.RequestCount();
    EndSocketReplays();  // every run has ended and said what it had to say
    SetMessageSink(nullptr);
    EXPECT_EQ(server.RequestCount(), static_cast<std::size_t>(kTasks));
    int outcomes = 0, failures = 0;
    for (const std::string& line : said) {
        if (line.find("/moment-check") != std::string::npos)
            ++(line.rfind("HTTP/1.0 200 OK", 0) == 0 ? outcomes : failures);
    }
    EXPECT_EQ(outcomes, kTasks);
    EXPECT_EQ(failures, 0);
    // Nothing left before the moment: the writer, not the runs, put them on the wire.
    long long momentUs = ToEpochMilliseconds(moment) * 1000;
    long long zone = WallMillisecondsOf(moment) * 1000 - momentUs;
    for (const test::ReceivedRequest& r : server.Requests())
        EXPECT_GE(r.firstByteMicroseconds - zone, momentUs) << r.raw;
    EXPECT_GE(MomentWriterThreads(), 1);
    setrlimit(RLIMIT_NOFILE, &before);
}

}  // namespace
}  // namespace quillrun
