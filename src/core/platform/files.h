// core/platform: what stands in for the operating system: CP932 text, paths, private-profile INI,
// files, sockets and TLS, the clock, the message sink, prompts and power. Depends on nothing.
//
// File calls that take CP932 paths: the path is converted to the file system's UTF-8 just
// before the call. Files are opened, used and closed within one call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillrun {

std::string NativePath(const std::string& cp932Path);

bool FileExists(const std::string& path);
// True when anything (a file, a folder, a link, a pipe) has that name.
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
// Size in bytes, or -1 when the file cannot be opened.
std::int64_t FileSize(const std::string& path);
bool RemoveFile(const std::string& path);
// Reads a regular file whole; false for anything else (a pipe is never waited on).
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes the whole file through a temporary file in the same folder and a rename, so that a
// crash mid-write leaves either the old or the new file, never a truncated one. A symbolic
// link is written through to its target; an existing file keeps its mode; a new one is 0600.
bool WriteFileAtomically(const std::string& path, const std::string& content);
// Plain overwrite (create or truncate); files are created with mode 0600.
bool WriteWholeFile(const std::string& path, const std::string& content);
bool AppendToFile(const std::string& path, const std::string& content);
// Creates an empty file (0600) that did not exist; false when the name is taken or it fails.
bool CreateNewFile(const std::string& path);

// Which file a path names now and how long it is, to tell whether it changed since.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    bool operator==(const FileIdentity& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size;
    }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};
FileIdentity IdentityOf(const std::string& path);

// Appends content to an existing file whole or not at all: a write that fails part way (a full
// disk) is cut back off. On success `after` is the file's identity after the append.
bool AppendWhole(const std::string& path, const std::string& content, FileIdentity& after);
// Removes the temporary files that WriteFileAtomically leaves when a process is killed during a
// save ("<name>.tmp<pid>_<n>") in the folder, where that process no longer runs. Returns how many.
int RemoveStaleTemporaryFiles(const std::string& folder);

// Raises this process's soft limit of open files to its hard limit (many tasks due at one
// moment each hold a socket and files; the usual soft limit of 1024 is soon reached). Returns
// the soft limit in force afterwards.
std::uint64_t RaiseOpenFileLimit();

// Names (CP932) of the entries of a folder, without "." and "..", in the order the file system
// gives them.
std::vector<std::string> ListFolder(const std::string& folder);

}  // namespace quillrun
