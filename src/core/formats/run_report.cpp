#include "core/formats/run_report.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"

namespace quillrun {

std::string FormatRowResult(const RowResult& row) {
    // UTF-8 throughout: the row's method and URL are the event file's CP932 texts.
    return DateTimeText(row.at) + " " + Cp932ToUtf8(row.method) + " " + Cp932ToUtf8(row.url) + " " +
           row.outcome + " " + std::to_string(row.bytes) + " bytes " +
           std::to_string(row.milliseconds) + " ms";
}

namespace {

constexpr std::size_t kStampLength = 16;  // "yyyymmdd-hhmmss_"

bool IsReportName(const std::string& name) {
    if (name.size() < kStampLength + 5 || name.compare(name.size() - 4, 4, ".txt") != 0)
        return false;
    for (std::size_t i = 0; i < 15; ++i) {
        if (i == 8 ? name[i] != '-' : (name[i] < '0' || name[i] > '9'))
            return false;
    }
    return name[15] == '_';
}

}  // namespace

std::string RunReportFile::FileNamePart(const std::string& taskName) {
    std::string safe;
    for (std::size_t i = 0; i < taskName.size(); ++i) {
        auto c = static_cast<unsigned char>(taskName[i]);
        if (IsSjisLeadByte(c)) {
            if (i + 1 < taskName.size() &&
                IsSjisTrailByte(static_cast<unsigned char>(taskName[i + 1]))) {
                safe += taskName.substr(i, 2);
                ++i;
            } else {
                safe += '_';
            }
        } else if (c == '/' || c == '\\' || IsControlByte(c) || c >= 0x80) {
            safe += c >= 0xA1 && c <= 0xDF ? static_cast<char>(c) : '_';  // half-width kana stay
        } else {
            safe += static_cast<char>(c);
        }
    }
    for (std::size_t at = safe.find(".."); at != std::string::npos; at = safe.find("..", at))
        safe.replace(at, 2, "__");
    if (safe.empty())
        safe = "_";
    // The file system counts the name's own bytes (UTF-8): room for the stamp, "~NN", ".txt".
    const std::size_t room = kNameLimit - kStampLength - 3 - 4;
    while (Cp932ToUtf8(safe).size() > room) {
        std::size_t cut = 0, last = 0;
        while (cut < safe.size()) {
            last = cut;
            cut += IsSjisLeadByte(static_cast<unsigned char>(safe[cut])) ? 2 : 1;
        }
        safe.erase(last);
    }
    return safe;
}

RunReportFile::RunReportFile(const std::string& taskName, const LocalTime& start) {
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d-%02d%02d%02d_", start.year, start.month,
                  start.day, start.hour, start.minute, start.second);
    base_ = ProgramPath("report/") + stamp + FileNamePart(taskName);
    path_ = base_ + ".txt";
}

void RunReportFile::Add(const RowResult& row) {
    AddLine(FormatRowResult(row));
    for (const std::string& note : row.notes)
        AddLine("    " + note);
}

void RunReportFile::AddLine(const std::string& line) {
    if (failed_)
        return;
    // Made at the first row, after its request: nothing delays a due request.
    if (!made_) {
        std::string folder = ProgramPath("report/");
        if (!IsFolder(folder))
            ::mkdir(NativePath(folder).c_str(), 0700);
        for (int n = 1; n < 100 && !made_; ++n) {
            path_ = n == 1 ? base_ + ".txt" : base_ + "~" + std::to_string(n) + ".txt";
            made_ = CreateNewFile(path_);
        }
    }
    FileIdentity after;
    if (made_ && AppendWhole(path_, line + "\n", after))
        return;
    // A full disk or a folder that cannot be written: no empty report stays, and it is said.
    failed_ = true;
    if (made_ && FileSize(path_) == 0)
        RemoveFile(path_);
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        AddMessage(J("実行レポートを report/ に保存できませんでした（以後の失敗は表示しません）"));
}

void PruneRunReports(std::size_t keep) {
    std::string folder = ProgramPath("report/");
    std::vector<std::string> names;
    for (const std::string& name : ListFolder(folder)) {
        if (IsReportName(name))
            names.push_back(name);
    }
    if (names.size() <= keep)
        return;
    std::sort(names.begin(), names.end());  // the time stamp first: oldest first
    for (std::size_t i = 0; i + keep < names.size(); ++i)
        RemoveFile(folder + names[i]);
}

std::string RowMessage(const RowResult& row) {
    return Utf8ToCp932(row.outcome) + " (" + std::to_string(row.milliseconds) + " ms) " +
           row.method + " " + row.url;
}

}  // namespace quillrun
