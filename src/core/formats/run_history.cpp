#include "core/formats/run_history.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/formats/run_report.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"

namespace quillrun {
namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// Whether a row line's outcome is a 2xx or 3xx status: "... URL HTTP/1.x NNN ..." before
// " N bytes M ms".
bool RowLineSucceeded(const std::string& line) {
    std::size_t status = line.find(" HTTP/");
    if (status == std::string::npos)
        return false;
    std::size_t code = line.find(' ', status + 1);
    return code != std::string::npos && code + 1 < line.size() &&
           (line[code + 1] == '2' || line[code + 1] == '3');
}

}  // namespace

bool ReadRunReport(const std::string& fileName, const std::string& text, RunRecord& record) {
    // "yyyymmdd-hhmmss_" + the task's part (+ "~2" for a second run in the second) + ".txt".
    if (fileName.size() < 21 || fileName[8] != '-' || fileName[15] != '_' ||
        fileName.compare(fileName.size() - 4, 4, ".txt") != 0 ||
        !AllDigits(fileName.substr(0, 8)) || !AllDigits(fileName.substr(9, 6)))
        return false;
    record = RunRecord();
    auto number = [&fileName](std::size_t at, std::size_t length) {
        return std::atoi(fileName.substr(at, length).c_str());
    };
    record.started = LocalTime{number(0, 4),  number(4, 2),  number(6, 2), number(9, 2),
                               number(11, 2), number(13, 2), 0};
    record.task = fileName.substr(16, fileName.size() - 20);
    std::size_t again = record.task.rfind('~');
    if (again != std::string::npos && AllDigits(record.task.substr(again + 1)))
        record.task.erase(again);
    bool rule = false, rowsOk = true, rows = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("--- try ", 0) == 0) {
            ++record.tries;
            rowsOk = true;  // each try is judged on its own rows
        } else if (line.rfind("rule: ", 0) == 0) {
            rule = true;
            record.verdict = line.substr(6);
            record.success = record.verdict == "success";
        } else if (line.rfind("failure: ", 0) == 0) {
            rule = true;
            record.verdict = line.substr(9);
            record.success = false;
        } else if (line.size() > 24 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                   line[4] == '-' && line[10] == ' ') {
            if (record.firstByte.empty())
                record.firstByte = line.substr(0, 23);
            rows = true;
            rowsOk = rowsOk && RowLineSucceeded(line);
        }
    }
    record.tries = std::max(record.tries, rows || rule ? 1 : 0);
    if (!rule) {
        record.success = rows && rowsOk;
        record.verdict = record.success ? "success" : rows ? "a row failed" : "no row ran";
    }
    return true;
}

std::vector<RunRecord> RunHistory() {
    std::string folder = ProgramPath("report/");
    std::vector<RunRecord> history;
    for (const std::string& name : ListFolder(folder)) {
        std::string text;
        RunRecord record;
        if (ReadWholeFile(folder + name, text) && ReadRunReport(name, text, record)) {
            record.path = folder + name;
            history.push_back(record);
        }
    }
    // The file names begin with their time: the newest first, a second run of a second after
    // its first.
    std::sort(history.begin(), history.end(),
              [](const RunRecord& a, const RunRecord& b) { return a.path > b.path; });
    return history;
}

bool LastRunOf(const std::vector<RunRecord>& history, const std::string& taskName,
               RunRecord& record) {
    std::string part = RunReportFile::FileNamePart(taskName);
    for (const RunRecord& run : history) {
        if (run.task == part) {
            record = run;
            return true;
        }
    }
    return false;
}

}  // namespace quillrun
