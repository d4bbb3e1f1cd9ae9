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

// Tells the observer (when there is one) of a row that failed without an exchange: now, the
// row's method and URL, and why.
void ReportRowFailed(const RowObserver& observer, const std::string& method, const std::string& url,
                     const std::string& why);

// A row that cannot be replayed ends a replay: the observer hears of it (with why) and of every
// row after it up to the list's end, each as not sent, so that no run looks complete when it
// was not. `lines` are the event file's lines, `bad` the index of the row.
void ReportRowsNotSent(const std::vector<std::string>& lines, std::size_t bad,
                       const std::string& why, const RowObserver& observer);

// The message-list line of a row: outcome, time taken, method and URL (CP932).
std::string RowMessage(const RowResult& row);

// A response's body (after its header block) as UTF-8, converted from the charset it is in.
std::string ResponseBodyText(const std::string& response);

// The first line of a response, and whether it is an HTTP status of 2xx or 3xx.
std::string StatusLineOf(const std::string& response);
bool IsSuccessStatus(const std::string& statusLine);

}  // namespace quillrun
