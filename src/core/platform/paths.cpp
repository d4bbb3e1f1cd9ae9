#include "core/platform/paths.h"

#include <unistd.h>

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

const std::string& ProgramFolder() {
    std::call_once(g_programFolderOnce, [] {
        if (!g_programFolderSet)
            SetFolders(ExecutableFolder());
    });
    return g_programFolder;
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
