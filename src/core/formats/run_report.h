// core/formats: the files other tools read and write: HAR, curl commands, JUnit XML and the
// run report, each reader beside its writer. Depends on recording, web and platform.
//
// What a replay tells of each row it went through: the one line a person reads to see whether
// the run worked (the command line prints it; each task run keeps it in a report file).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/platform/clock.h"

namespace quillrun {

struct RowResult {
    LocalTime at;  // when the row started
    std::string method;
    std::string url;
    std::string outcome;  // the response's status line, or what went wrong
    std::size_t bytes = 0;
    long long milliseconds = 0;
    bool ok = false;  // a 2xx or 3xx status
    // The answer as text, UTF-8, for a success rule to look into: a socket row's response
    // body converted from its charset, a browser row's page text.
    std::string responseText;
    // Lines of their own under the row's (a hidden field refreshed), UTF-8.
    std::vector<std::string> notes;
};

using RowObserver = std::function<void(const RowResult&)>;

// The verdict of a success rule on one try's rows.
struct TryVerdict {
    bool success = false;
    bool guardRefused = false;  // the duplicate-post guard refused a row: no more tries
    std::string reason;         // what failed, for the report and the message list (UTF-8)
};

// "YYYY-MM-DD hh:mm:ss.mmm METHOD URL OUTCOME N bytes M ms", UTF-8 (method and URL are CP932
// in the row, the outcome UTF-8).
std::string FormatRowResult(const RowResult& row);

// The report of one task run: report/<yyyymmdd-hhmmss>_<task name>.txt in the program folder,
// the lines the command line prints, one per row. The folder is made (0700) when missing and
// only the newest reports are kept.
class RunReportFile {
  public:
    static constexpr std::size_t kReportsKept = 200;
    // The longest file name the file system takes.
    static constexpr std::size_t kNameLimit = 255;

    RunReportFile(const std::string& taskName, const LocalTime& start);
    // Appends the row's line; the first makes the file, under a name of its own (a second run
    // of the same task in the same second gets "~2"). A line that cannot be written leaves no
    // empty file and is said once in the message list.
    void Add(const RowResult& row);
    // Appends a line of its own (UTF-8): the head of a try, the verdict of a rule.
    void AddLine(const std::string& line);
    // The report's path (CP932); before the first row, the name it will try first.
    const std::string& path() const { return path_; }

    // The task name as it stands in a report's file name: "/", "\\", "..", control bytes and a
    // Shift_JIS lead byte without its second byte replaced by "_", empty as "_", cut on a
    // character boundary so that the whole name fits the file system's limit.
    static std::string FileNamePart(const std::string& taskName);

  private:
    std::string base_;  // folder, time stamp, "_" and the task's part
    std::string path_;
    bool made_ = false;
    bool failed_ = false;
};

// Deletes the oldest reports beyond the newest `keep`: every file named as the program names
// its reports ("yyyymmdd-hhmmss_" and a name ending in ".txt").
void PruneRunReports(std::size_t keep = RunReportFile::kReportsKept);

// The message-list line of a row: outcome, time taken, method and URL (CP932).
std::string RowMessage(const RowResult& row);

}  // namespace quillrun
