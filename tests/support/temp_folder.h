// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test. Its path ends in "/", as the program folder does.
#pragma once

#include <functional>
#include <string>

#include "core/config/task_list.h"
#include "core/platform/clock.h"

namespace quillrun::test {

class TempFolder;

// Runs body as an account that does not own the files the test made: as "nobody" in a child
// process when the test runs as root (root reads every file), else in this process, where a
// mode of 0000 is enough. The folder is opened to that account first; it must be one that
// account can reach (TempFolder::Reach::OtherAccounts). Gives back body's result.
bool AsAnotherAccount(const TempFolder& folder, const std::function<bool()>& body);

class TempFolder {
  public:
    // Under TMPDIR (a private one in parallel runs), or, for a test that acts as another
    // account (AsAnotherAccount), under /tmp, which every account can pass through.
    enum class Reach { Private, OtherAccounts };
    explicit TempFolder(Reach reach = Reach::Private);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + relative; }
    // Makes the program's data folders (event/, cookies/, response/) inside.
    void MakeProgramFolders() const;

  private:
    std::string path_;
};

// A clock that says what the test tells it.
class FixedClock : public Clock {
  public:
    explicit FixedClock(LocalTime t = {}) : time_(t) {}
    LocalTime Now() const override { return time_; }
    void Set(const LocalTime& t) { time_ = t; }

  private:
    LocalTime time_;
};

// Installs a clock for the lifetime of the object.
class ScopedClock {
  public:
    explicit ScopedClock(const Clock& clock) { SetCurrentClock(&clock); }
    ~ScopedClock() { SetCurrentClock(nullptr); }
};

// Makes a folder the program folder for the lifetime of the object.
class ScopedProgramFolder {
  public:
    explicit ScopedProgramFolder(const std::string& folder);
    ~ScopedProgramFolder();

  private:
    std::string saved_;
};

// A task named `name` with its event file under /q/event/ and the given time pattern.
TaskRecord MakeTask(const std::string& name, int year, int month, int day, int hour, int minute,
                    int execType = kExecSocket);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace quillrun::test
