#include "core/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "core/platform/cp932.h"
#include "core/platform/paths.h"

namespace quillrun {
namespace {

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The program's files hold sessions, recorded form data and pages: a file it creates is the
// user's alone. A file that exists keeps the mode it has.
constexpr mode_t kPrivateFileMode = 0600;

bool WriteWithFlags(const std::string& path, const std::string& content, int flags) {
    int fd = ::open(NativePath(path).c_str(), flags | O_WRONLY | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

// The file a save replaces: the target of a symbolic link (so the link stays a link), else
// the path itself.
std::string SaveTarget(const std::string& native) {
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return native;
    char* resolved = ::realpath(native.c_str(), nullptr);
    if (resolved == nullptr)
        return native;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

void SyncFolderOf(const std::string& native) {
    std::size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string NativePath(const std::string& cp932Path) {
    // Under the program folder, the folder's own bytes (its text may hold "?" for characters
    // CP932 lacks); the rest is the program's own text.
    const std::string& folder = ProgramFolder();
    if (!folder.empty() && cp932Path.compare(0, folder.size(), folder) == 0 &&
        folder != NativeProgramFolder())
        return NativeProgramFolder() + NativePath(cp932Path.substr(folder.size()));
    for (unsigned char c : cp932Path) {
        if (c >= 0x80)
            return Cp932ToUtf8(cp932Path);
    }
    return cp932Path;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(const std::string& path) {
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool RemoveFile(const std::string& path) {
    return ::unlink(NativePath(path).c_str()) == 0;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(NativePath(path).c_str(), &st) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    // Opened without waiting: a pipe or a device under the name would block the program.
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    static std::atomic<unsigned> counter{0};
    std::string native = SaveTarget(NativePath(path));
    std::string temp =
        native + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter.fetch_add(1));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0)
        return false;
    // The new file takes the place of the old one with its mode (and owner, where allowed).
    struct stat old;
    if (::stat(native.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                // Not allowed for an ordinary user: the file becomes the user's own.
            }
        }
    }
    bool ok = WriteAll(fd, content);
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), native.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolderOf(native);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    return WriteWithFlags(path, content, O_CREAT | O_TRUNC);
}

bool AppendToFile(const std::string& path, const std::string& content) {
    return WriteWithFlags(path, content, O_CREAT | O_APPEND);
}

bool CreateNewFile(const std::string& path) {
    int fd =
        ::open(NativePath(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0)
        return false;
    return ::close(fd) == 0;
}

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity id;
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    return id;
}

bool AppendWhole(const std::string& path, const std::string& content, FileIdentity& after) {
    int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    bool ok = WriteAll(fd, content);
    if (!ok && ::ftruncate(fd, st.st_size) != 0) {
        // Nothing more can be done; the caller reports the failed write.
    }
    if (ok) {
        after.exists = true;
        after.device = static_cast<std::uint64_t>(st.st_dev);
        after.inode = static_cast<std::uint64_t>(st.st_ino);
        after.size =
            static_cast<std::int64_t>(st.st_size) + static_cast<std::int64_t>(content.size());
    }
    ok = (::close(fd) == 0) && ok;
    return ok;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    int removed = 0;
    for (const std::string& name : ListFolder(folder)) {
        std::size_t at = name.rfind(".tmp");
        if (at == std::string::npos)
            continue;
        std::size_t digits = at + 4;
        std::size_t underscore = name.find('_', digits);
        if (underscore == std::string::npos || underscore == digits ||
            underscore + 1 >= name.size() ||
            name.find_first_not_of("0123456789", digits) != underscore ||
            name.find_first_not_of("0123456789", underscore + 1) != std::string::npos) {
            continue;
        }
        long pid = std::strtol(name.c_str() + digits, nullptr, 10);
        if (pid <= 0 || pid == ::getpid())
            continue;
        // A process that still runs may be saving right now: only the dead leave leftovers.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        if (RemoveFile(folder + name))
            ++removed;
    }
    return removed;
}

std::uint64_t RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        struct rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(NativePath(folder).c_str());
    if (dir == nullptr)
        return names;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool ascii = true;
        for (unsigned char c : name)
            ascii = ascii && c < 0x80;
        names.push_back(ascii ? name : Utf8ToCp932(name));
    }
    ::closedir(dir);
    return names;
}

}  // namespace quillrun
