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

std::string g_programFolder;
std::once_flag g_programFolderOnce;
bool g_programFolderSet = false;

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return "./";
    buffer[n] = '\0';
    std::string path = Utf8ToCp932(buffer);
    char folder[4096];
    if (FolderOfPath(path.c_str(), folder, sizeof(folder)) != 1)
        return "./";
    return folder;
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
            g_programFolder = ExecutableFolder();
    });
    return g_programFolder;
}

void SetProgramFolder(const std::string& folder) {
    g_programFolderSet = true;
    g_programFolder = folder;
    if (!g_programFolder.empty() && g_programFolder.back() != '/')
        g_programFolder += '/';
}

std::string ProgramPath(const std::string& relative) {
    return ProgramFolder() + relative;
}

}  // namespace quillrun
