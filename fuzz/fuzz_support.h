// What several fuzz targets share: a program folder of their own, and an input split in two
// at its first 0x01 byte.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "core/platform/paths.h"

namespace quillrun::fuzz {

// A fresh folder under /tmp with a cookies/ folder, made the program folder.
inline std::string ProgramFolderWithCookies(const char* name) {
    std::string pattern = std::string("/tmp/quillrun-fuzz-") + name + "-XXXXXX";
    std::string dir = std::string(mkdtemp(pattern.data())) + "/";
    ::mkdir((dir + "cookies").c_str(), 0700);
    SetProgramFolder(dir);
    return dir;
}

inline std::pair<std::string, std::string> SplitAtMarker(const std::string& input) {
    std::size_t split = input.find('\x01');
    return {input.substr(0, split),
            split == std::string::npos ? std::string() : input.substr(split + 1)};
}

}  // namespace quillrun::fuzz
