// Loading any quillrun.ini: memory and time follow the file (a damaged task count cannot make
// a huge list), and saving what was loaded then loading it again gives the same tasks.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/files.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder = [] {
        char pattern[] = "/tmp/quillrun-fuzz-config-XXXXXX";
        return std::string(mkdtemp(pattern)) + "/";
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    WriteWholeFile(folder + "quillrun.ini", text);
    AppState app;
    LoadConfiguration(app, folder);
    if (app.tasks.Count() > 100000 || static_cast<std::size_t>(app.tasks.Count()) > size + 1000)
        std::abort();
    if (!SaveConfiguration(app))
        std::abort();
    AppState again;
    LoadConfiguration(again, folder);
    if (again.tasks.Count() != app.tasks.Count())
        std::abort();
    for (int i = 0; i < app.tasks.Count(); ++i) {
        const TaskRecord& a = app.tasks.At(i);
        const TaskRecord& b = again.tasks.At(i);
        if (std::string(a.EventDataFile) != b.EventDataFile ||
            a.EventTime_Hour != b.EventTime_Hour || a.EventExecType != b.EventExecType) {
            std::abort();
        }
    }
    return 0;
}
