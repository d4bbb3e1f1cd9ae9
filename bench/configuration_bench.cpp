// Loading and saving a configuration with 1000 tasks (target: each under 50 ms).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "core/config/configuration.h"

namespace {

std::string MakeFolder() {
    char pattern[] = "/tmp/quillrun-bench-XXXXXX";
    return std::string(mkdtemp(pattern)) + "/";
}

void FillTasks(quillrun::AppState& app, int count) {
    for (int i = 0; i < count; ++i) {
        quillrun::TaskRecord t;
        t.SetName("task" + std::to_string(i));
        t.SetDataFile(app.programFolder + "event/task" + std::to_string(i) + ".evf");
        t.EventTime_Year = -1;
        t.EventTime_Month = -1;
        t.EventTime_Day = i % 28 + 1;
        t.EventTime_Hour = i % 24;
        t.EventTime_Minute = i % 60;
        app.tasks.Append(t);
    }
}

void BM_SaveConfiguration1000Tasks(benchmark::State& state) {
    std::string dir = MakeFolder();
    quillrun::AppState app;
    quillrun::LoadConfiguration(app, dir);
    FillTasks(app, 1000);
    quillrun::SaveConfiguration(app);
    for (auto _ : state)
        benchmark::DoNotOptimize(quillrun::SaveConfiguration(app));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveConfiguration1000Tasks)->Unit(benchmark::kMillisecond);

void BM_LoadConfiguration1000Tasks(benchmark::State& state) {
    std::string dir = MakeFolder();
    quillrun::AppState app;
    quillrun::LoadConfiguration(app, dir);
    FillTasks(app, 1000);
    quillrun::SaveConfiguration(app);
    for (auto _ : state) {
        quillrun::AppState loaded;
        quillrun::LoadConfiguration(loaded, dir);
        benchmark::DoNotOptimize(loaded.tasks.Count());
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadConfiguration1000Tasks)->Unit(benchmark::kMillisecond);

}  // namespace
