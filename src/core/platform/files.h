// File calls that take CP932 paths: the path is converted to the file system's UTF-8 just
// before the call. Files are opened, used and closed within one call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillrun {

std::string NativePath(const std::string& cp932Path);

bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
// Size in bytes, or -1 when the file cannot be opened.
std::int64_t FileSize(const std::string& path);
bool RemoveFile(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes the whole file through a temporary file in the same folder and a rename, so that a
// crash mid-write leaves either the old or the new file, never a truncated one.
bool WriteFileAtomically(const std::string& path, const std::string& content);
// Plain overwrite (create or truncate).
bool WriteWholeFile(const std::string& path, const std::string& content);
bool AppendToFile(const std::string& path, const std::string& content);
// Names (CP932) of the entries of a folder, without "." and "..", in the order the file system
// gives them.
std::vector<std::string> ListFolder(const std::string& folder);

}  // namespace quillrun
