#include "core/platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

// Index of the last separator that is not the second byte of a double-byte character, or -1.
long LastSeparator(const char* path) {
    long last = -1;
    for (long i = 0; path[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsSjisLeadByte(c)) {
            if (path[i + 1] == '\0')
                break;
            ++i;
            continue;
        }
        if (c == '\\' || c == '/')
            last = i;
    }
    return last;
}

int CopyIfFits(const char* text, std::size_t length, char* out, std::size_t size) {
    if (length + 1 > size)
        return 0;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return 1;
}

std::string g_programFolder;  // CP932 text
std::string g_nativeFolder;   // the file system's own bytes
std::once_flag g_programFolderOnce;
bool g_programFolderSet = false;

// The executable's folder as the file system names it (UTF-8 bytes, or whatever they are).
std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return "./";
    std::string path(buffer, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

void SetFolders(const std::string& native) {
    g_nativeFolder = native;
    if (!g_nativeFolder.empty() && g_nativeFolder.back() != '/')
        g_nativeFolder += '/';
    // The text the program shows and stores; a character CP932 lacks becomes "?" there, while
    // the file system is always handed the folder's own bytes.
    g_programFolder = Utf8ToCp932(g_nativeFolder);
}

}  // namespace

int FolderOfPath(const char* path, char* out, std::size_t size) {
    long last = LastSeparator(path);
    if (last <= 0) {
        CopyIfFits(path, std::strlen(path), out, size);
        return 0;
    }
    return CopyIfFits(path, static_cast<std::size_t>(last) + 1, out, size);
}

int FileNameOfPath(const char* path, char* out, std::size_t size) {
    long last = LastSeparator(path);
    const char* name = last <= 0 ? path : path + last + 1;
    return CopyIfFits(name, std::strlen(name), out, size);
}

std::string ChooseProgramFolder(const std::string& executableFolder, const FolderFacts& facts) {
    if (facts.exists(executableFolder + "quillrun.ini"))
        return executableFolder;
    bool system = false;
    for (const char* prefix : {"/usr/", "/opt/", "/bin/", "/sbin/"})
        system = system || executableFolder.rfind(prefix, 0) == 0;
    // Installed under any prefix (~/.local, /usr/local, a package unpacked elsewhere): the data
    // folder sits beside the executable's folder.
    bool installed = facts.exists(executableFolder + "../share/quillrun/object");
    if (!system && !installed && facts.writable(executableFolder))
        return executableFolder;
    std::string data = !facts.xdgDataHome.empty() && facts.xdgDataHome[0] == '/'
                           ? facts.xdgDataHome
                           : facts.home + "/.local/share";
    if (data.back() != '/')
        data += '/';
    return data + "quillrun/";
}

FolderFacts RealFolderFacts() {
    FolderFacts facts;
    facts.exists = [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; };
    facts.writable = [](const std::string& path) { return ::access(path.c_str(), W_OK) == 0; };
    const char* home = std::getenv("HOME");
    const char* data = std::getenv("XDG_DATA_HOME");
    facts.home = home != nullptr ? home : "";
    facts.xdgDataHome = data != nullptr ? data : "";
    return facts;
}

bool LayOutProgramFolder(const std::string& nativeFolder) {
    // The parents as any folder of the user's; the program's own closed to others.
    std::string folder = nativeFolder;
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (::access(part.c_str(), F_OK) != 0 &&
            ::mkdir(part.c_str(), slash + 1 == folder.size() ? 0700 : 0755) != 0 && errno != EEXIST)
            return false;
    }
    for (const char* sub : {"event", "cookies", "response", "report"}) {
        std::string path = folder + sub;
        if (::access(path.c_str(), F_OK) != 0)
            ::mkdir(path.c_str(), 0700);
    }
    // A portable folder on read-only media is used as it is (its saves will say they failed).
    return ::access(folder.c_str(), F_OK) == 0;
}

const std::string& ProgramFolder() {
    std::call_once(g_programFolderOnce, [] {
        if (!g_programFolderSet)
            SetFolders(ChooseProgramFolder(ExecutableFolder(), RealFolderFacts()));
    });
    return g_programFolder;
}

namespace {
std::string g_dataFolder;
}  // namespace

std::string ChooseDataFolder(const std::string& programFolder, const std::string& executableFolder,
                             const std::function<bool(const std::string&)>& exists) {
    // The program folder's own; else the executable's (a portable build started with
    // --folder elsewhere); else the installed data folder beside it.
    for (const std::string& folder :
         {programFolder, executableFolder, executableFolder + "../share/quillrun/"}) {
        if (exists(folder + "object"))
            return folder;
    }
    return programFolder;
}

const std::string& NativeDataFolder() {
    if (!g_dataFolder.empty())
        return g_dataFolder;
    static std::string chosen;
    chosen = ChooseDataFolder(NativeProgramFolder(), ExecutableFolder(),
                              [](const std::string& p) { return ::access(p.c_str(), F_OK) == 0; });
    return chosen;
}

void SetNativeDataFolder(const std::string& folder) {
    g_dataFolder = folder;
    if (!g_dataFolder.empty() && g_dataFolder.back() != '/')
        g_dataFolder += '/';
}

const std::string& NativeProgramFolder() {
    ProgramFolder();
    return g_nativeFolder;
}

void SetProgramFolder(const std::string& folder) {
    g_programFolderSet = true;
    // Given as CP932 text; its own bytes when it holds none beyond ASCII.
    bool ascii = true;
    for (unsigned char c : folder)
        ascii = ascii && c < 0x80;
    SetFolders(ascii ? folder : Cp932ToUtf8(folder));
}

void SetNativeProgramFolder(const std::string& folder) {
    g_programFolderSet = true;
    SetFolders(folder);
}

std::string ProgramPath(const std::string& relative) {
    return ProgramFolder() + relative;
}

}  // namespace quillrun
