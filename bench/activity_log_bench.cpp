// One activity-log entry written to logs of 0, 10 000 and 100 000 entries (target: flat, under
// 1 ms each). The first entry of a run reads the log once; the timing is of the entries after it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "core/config/activity_log.h"
#include "core/platform/files.h"

namespace {

void BM_WriteLogEntry(benchmark::State& state) {
    char pattern[] = "/tmp/quillrun-logbench-XXXXXX";
    std::string path = std::string(mkdtemp(pattern)) + "/quillrun.log";
    std::string text = "[log]\r\n";
    for (long i = 0; i < state.range(0); ++i) {
        char key[64];
        std::snprintf(key, sizeof(key), "Logged_2001/01/%02ld %02ld:%02ld:%02ld.%03ld", 1 + i / 86400000 % 28,
                      i / 3600000 % 24, i / 60000 % 60, i / 1000 % 60, i % 1000);
        text += std::string(key) + "=HTTP request http://example.invalid/index.html cookie: port:80\r\n";
    }
    quillrun::WriteWholeFile(path, text);
    std::int32_t trace = 0;
    quillrun::SetActivityLog(path, &trace);
    quillrun::WriteLog("first entry of the run", false);
    for (auto _ : state)
        quillrun::WriteLog("HTTP request http://127.0.0.1/x.cgi cookie:SID=1 port:80", false);
    quillrun::SetActivityLog("", nullptr);
    state.counters["entries"] = static_cast<double>(state.range(0));
    quillrun::RemoveFile(path);
}
BENCHMARK(BM_WriteLogEntry)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
