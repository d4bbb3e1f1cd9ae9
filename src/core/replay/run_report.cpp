#include "core/replay/run_report.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/recording/event_line.h"

namespace quillrun {

std::string FormatRowResult(const RowResult& row) {
    return DateTimeText(row.at) + " " + row.method + " " + row.url + " " + row.outcome + " " +
           std::to_string(row.bytes) + " bytes " + std::to_string(row.milliseconds) + " ms";
}

RunReportFile::RunReportFile(const std::string& taskName, const LocalTime& start) {
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d-%02d%02d%02d_", start.year, start.month,
                  start.day, start.hour, start.minute, start.second);
    path_ = ProgramPath("report/") + stamp + taskName + ".txt";
}

void RunReportFile::Add(const RowResult& row) {
    // Made at the first row, after its request: nothing delays a due request.
    std::string folder = ProgramPath("report/");
    if (!IsFolder(folder))
        ::mkdir(NativePath(folder).c_str(), 0700);
    AppendToFile(path_, FormatRowResult(row) + "\n");
}

void PruneRunReports(std::size_t keep) {
    std::string folder = ProgramPath("report/");
    std::vector<std::string> names;
    for (const std::string& name : ListFolder(folder)) {
        // Only the program's own reports: a time stamp, "_", the task name, ".txt".
        if (name.size() > 20 && name[8] == '-' && name[15] == '_' &&
            name.compare(name.size() - 4, 4, ".txt") == 0) {
            names.push_back(name);
        }
    }
    if (names.size() <= keep)
        return;
    std::sort(names.begin(), names.end());  // the time stamp first: oldest first
    for (std::size_t i = 0; i + keep < names.size(); ++i)
        RemoveFile(folder + names[i]);
}

void ReportRowsNotSent(const std::vector<std::string>& lines, std::size_t bad,
                       const std::string& why, const RowObserver& observer) {
    if (!observer || bad >= lines.size())
        return;
    auto say = [&observer](const EventLine& row, const std::string& outcome) {
        RowResult result;
        result.at = CurrentClock().Now();
        result.method = row.method;
        result.url = row.url;
        result.outcome = outcome;
        observer(result);
    };
    EventLine shown;
    ParseEventLine(lines[bad], shown);
    say(shown, "row " + std::to_string(bad + 1) + " not sent: " + why);
    for (std::size_t later = bad + 1; later < lines.size(); ++later) {
        EventLine next;
        if (!ParseReplayRow(lines[later], next))
            break;  // the list's end
        say(next, "row " + std::to_string(later + 1) + " not sent: the replay ended at row " +
                      std::to_string(bad + 1));
    }
}

std::string RowMessage(const RowResult& row) {
    return Utf8ToCp932(row.outcome) + " (" + std::to_string(row.milliseconds) + " ms) " +
           row.method + " " + row.url;
}

std::string StatusLineOf(const std::string& response) {
    std::size_t end = response.find_first_of("\r\n");
    std::string line = response.substr(0, end);
    for (char& c : line) {
        if (IsControlByte(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return line.empty() ? "(no response)" : line;
}

bool IsSuccessStatus(const std::string& statusLine) {
    // "HTTP/1.x 2nn ..." or "HTTP/1.x 3nn ..."
    std::size_t blank = statusLine.find(' ');
    if (statusLine.compare(0, 5, "HTTP/") != 0 || blank == std::string::npos ||
        statusLine.size() < blank + 4) {
        return false;
    }
    auto digit = [&](std::size_t i) { return statusLine[i] >= '0' && statusLine[i] <= '9'; };
    char first = statusLine[blank + 1];
    bool threeDigits = digit(blank + 1) && digit(blank + 2) && digit(blank + 3) &&
                       (statusLine.size() == blank + 4 || statusLine[blank + 4] == ' ');
    return threeDigits && (first == '2' || first == '3');
}

}  // namespace quillrun
