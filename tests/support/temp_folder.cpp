#include "tests/support/temp_folder.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/platform/files.h"
#include "core/platform/paths.h"

namespace quillrun::test {

bool AsAnotherAccount(const TempFolder& folder, const std::function<bool()>& body) {
    ::chmod(folder.Path().c_str(), 0777);
    if (::geteuid() != 0)
        return body();
    pid_t child = ::fork();
    if (child == 0) {
        bool ok =
            ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 && body();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TempFolder::TempFolder(Reach reach) {
    const char* base = reach == Reach::Private ? std::getenv("TMPDIR") : nullptr;
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillrun-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempFolder::MakeProgramFolders() const {
    for (const char* name : {"event", "cookies", "response", "object", "help"}) {
        ::mkdir((path_ + name).c_str(), 0700);
    }
}

ScopedProgramFolder::ScopedProgramFolder(const std::string& folder)
    : saved_(NativeProgramFolder()) {
    SetProgramFolder(folder);
}

ScopedProgramFolder::~ScopedProgramFolder() {
    SetNativeProgramFolder(saved_);
}

TaskRecord MakeTask(const std::string& name, int year, int month, int day, int hour, int minute,
                    int execType) {
    TaskRecord t;
    t.SetName(name);
    t.SetDataFile("/q/event/" + name + ".evf");
    t.EventTime_Year = year;
    t.EventTime_Month = month;
    t.EventTime_Day = day;
    t.EventTime_Hour = hour;
    t.EventTime_Minute = minute;
    t.EventExecType = execType;
    return t;
}

std::string ReadFile(const std::string& path) {
    std::string content;
    ReadWholeFile(path, content);
    return content;
}

void WriteFile(const std::string& path, const std::string& content) {
    if (!WriteWholeFile(path, content))
        throw std::runtime_error("cannot write " + path);
}

}  // namespace quillrun::test
