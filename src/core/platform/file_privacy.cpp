#include "core/platform/file_privacy.h"

#include <sys/stat.h>

#include "core/platform/cp932.h"
#include "core/platform/files.h"

namespace quillrun {
namespace {

bool ReadableByOthers(const std::string& path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::vector<std::string> PrivacyWarnings(const std::string& programFolder) {
    std::vector<std::string> lines;
    for (const char* folder : {"cookies/", "response/"}) {
        if (IsFolder(programFolder + folder) && ReadableByOthers(programFolder + folder)) {
            lines.push_back(
                J("フォルダ ") + folder +
                J(" は他のユーザーからも読めます（セッションや応答の内容が含まれます）"));
        }
    }
    for (const std::string& name : ListFolder(programFolder + "cookies/")) {
        if (EndsWith(name, ".cookie") && ReadableByOthers(programFolder + "cookies/" + name)) {
            lines.push_back(
                J("cookies/ のクッキーファイルに他のユーザーから読めるものがあります（例: ") +
                name + J("）"));
            break;
        }
    }
    return lines;
}

}  // namespace quillrun
