// The runs the program has made, read back from their reports (report/<yyyymmdd-hhmmss>_<task
// name>.txt): when each began, the first row's time, whether it succeeded (the rule's verdict
// where the task has one, else every row's status) and how many tries it took. Nothing is added
// to the reports for it.
#pragma once

#include <string>
#include <vector>

#include "core/platform/clock.h"

namespace quillrun {

struct RunRecord {
    std::string path;       // the report (CP932, as the program folder's paths are)
    std::string task;       // the task's name as the file name keeps it (CP932)
    LocalTime started;      // from the file name, to the second
    std::string firstByte;  // the first row's time, "YYYY-MM-DD hh:mm:ss.mmm"; empty: none
    bool success = false;
    std::string verdict;  // "success", or what failed (UTF-8)
    int tries = 0;
};

// One report: its file name (without folder) and its text. False when the name is not a
// report's.
bool ReadRunReport(const std::string& fileName, const std::string& text, RunRecord& record);

// The reports of the program folder, the newest first.
std::vector<RunRecord> RunHistory();

// The newest run of the task (CP932 name); false when it has none.
bool LastRunOf(const std::vector<RunRecord>& history, const std::string& taskName,
               RunRecord& record);

}  // namespace quillrun
