// The socket sender's own cost per row (everything but the socket exchange and the pause),
// with 100 cookie files and a 1000-line guard file (target: under 2 ms); loading and saving an
// event file of 10000 events (target: each under 50 ms).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/config/activity_log.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/recording/event_list.h"
#include "core/replay/cookie_store.h"
#include "core/replay/post_guard.h"
#include "core/replay/socket_sender.h"

namespace {

std::string MakeProgramFolder() {
    char pattern[] = "/tmp/quillrun-bench-XXXXXX";
    std::string dir = std::string(mkdtemp(pattern)) + "/";
    for (const char* sub : {"event", "cookies", "response"})
        mkdir((dir + sub).c_str(), 0755);
    return dir;
}

void BM_SocketSenderRowCost(benchmark::State& state) {
    std::string dir = MakeProgramFolder();
    quillrun::SetProgramFolder(dir);
    std::int32_t trace = 0;
    quillrun::SetActivityLog(dir + "quillrun.log", &trace);
    for (int i = 0; i < 100; ++i) {
        quillrun::WriteWholeFile(dir + "cookies/[host" + std::to_string(i) + "][@].cookie",
                                 "[expire_never]\r\nSID" + std::to_string(i) + "=abcdef\r\n");
    }
    std::string guard;
    for (int i = 0; i < 1000; ++i)
        guard += "hostPOST/x.cgia=" + std::to_string(i) + "\r\n";
    std::string row = "1\tPOST\thttp://host7/x.cgi\tname=value&other=%82%A0%82%A2\t\r\n";
    quillrun::WriteWholeFile(dir + "event/t.evf", row);
    const std::string response =
        "HTTP/1.0 200 OK\r\nSet-Cookie: SID=1; path=/\r\n\r\n" + std::string(4000, 'b');
    auto exchange = [&](const quillrun::Endpoint&, const std::string&, const quillrun::SentHook&) {
        return quillrun::Exchange{true, response, quillrun::NetFailure::None, ""};
    };
    for (auto _ : state) {
        state.PauseTiming();
        quillrun::WriteWholeFile(quillrun::GuardFilePath(), guard);
        quillrun::RemoveFile(dir + "quillrun.log");
        state.ResumeTiming();
        quillrun::ReplayEventFile(dir + "event/t.evf", exchange, 0);
    }
    quillrun::SetActivityLog("", nullptr);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SocketSenderRowCost)->Unit(benchmark::kMillisecond);

quillrun::EventList TenThousandEvents() {
    quillrun::EventList list;
    for (int i = 0; i < 10000; ++i) {
        list.AddEvent(quillrun::kMethodPost, "http://example.jp/cgi-bin/form" + std::to_string(i),
                      "name=%82%A0%82%A2&value=" + std::string(80, 'x'));
    }
    list.AppendEmptyPair();
    return list;
}

void BM_SaveEventFile10000(benchmark::State& state) {
    std::string dir = MakeProgramFolder();
    quillrun::EventList list = TenThousandEvents();
    for (auto _ : state)
        benchmark::DoNotOptimize(list.SaveEventFile(dir + "event/big.evf"));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveEventFile10000)->Unit(benchmark::kMillisecond);

void BM_LoadEventFile10000(benchmark::State& state) {
    std::string dir = MakeProgramFolder();
    TenThousandEvents().SaveEventFile(dir + "event/big.evf");
    for (auto _ : state) {
        quillrun::EventList list;
        benchmark::DoNotOptimize(list.LoadEventFile(dir + "event/big.evf"));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadEventFile10000)->Unit(benchmark::kMillisecond);

}  // namespace
