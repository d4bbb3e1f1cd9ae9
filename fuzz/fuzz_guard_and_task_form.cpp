// The duplicate-post guard on any guard file and key: a key passes exactly while the file
// holds it fewer than four times. The task form on any name and entries: what is read back is
// within its widths, shown again it reads to the same record, and names the rules accept hold
// no "/" that would lead out of the event folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/replay/post_guard.h"
#include "core/tasks/task_form.h"
#include "fuzz/fuzz_support.h"

using namespace quillrun;

namespace {

int CountLines(const std::string& file, const std::string& key) {
    int count = 0;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find('\n', start);
        std::string line =
            file.substr(start, end == std::string::npos ? std::string::npos : end - start);
        count += line == key ? 1 : 0;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder = fuzz::ProgramFolderWithCookies("guard");
    auto [key, file] = fuzz::SplitAtMarker(std::string(reinterpret_cast<const char*>(data), size));
    if (key.find('\n') == std::string::npos && key.find('\r') == std::string::npos &&
        key.find('\0') == std::string::npos) {
        WriteWholeFile(GuardFilePath(), file);
        std::string before;
        ReadWholeFile(GuardFilePath(), before);
        GuardResult result = RunPostGuard(key);
        bool shouldPass = CountLines(before, key) + CountLines(before, key + "\r") <= 3;
        if ((result == GuardResult::Pass) != shouldPass && result != GuardResult::FileError)
            std::abort();
    }

    TaskForm form;
    form.name = key;
    const unsigned char* b = data;
    if (size >= 6) {
        form.year = b[0] % 102 - 1;
        form.month = b[1] % 14 - 1;
        form.day = b[2] % 33 - 1;
        form.hour = b[3] % 26 - 1;
        form.minute = b[4] % 62 - 1;
        form.execType = b[5] % 3 - 1;
    }
    TaskRecord record;
    ReadTaskForm(form, record);
    if (std::string(record.EventName).size() > 259)
        std::abort();
    TaskRecord again;
    ReadTaskForm(ShowTaskForm(record), again);
    if (std::string(again.EventName) != record.EventName ||
        again.EventTime_Year != record.EventTime_Year ||
        again.EventTime_Minute != record.EventTime_Minute ||
        again.EventExecType != record.EventExecType) {
        std::abort();
    }
    TaskList none;
    // The event file's path is built from an accepted name: a "/" byte (never the second byte
    // of a double-byte character) would lead out of the event folder.
    if (CheckTaskName(record.EventName, none, -1) == NameProblem::None &&
        std::string(record.EventName).find('/') != std::string::npos) {
        std::abort();
    }
    return 0;
}
