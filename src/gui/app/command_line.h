// The program's command line: none starts the desktop program; the rest are for use without a
// desktop (a replay now, from a script, cron or a systemd timer).
#pragma once

#include <functional>
#include <string>

#include "core/replay/run_report.h"

namespace quillrun {

struct CommandLine {
    enum class Mode { Desktop, Help, Version, Run, Headless, Error } mode = Mode::Desktop;
    std::string eventFile;  // --run FILE
    bool browser = false;   // --run FILE --browser
    std::string error;      // what is wrong with the arguments
};

CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help.
std::string UsageText();

// Replays a file (Shift_JIS path) telling the observer of every row.
using EventFileReplay = std::function<void(const std::string& path, const RowObserver& observer)>;
// What --run does around its engine: the file checked, the program folder's settings read,
// message-list lines on stderr, one line per row on stdout; the exit code as below.
int RunEventFile(const std::string& eventFile, const EventFileReplay& replay);

// --run FILE: replays the event file now through the socket sender with the program folder's
// settings, cookies and response files, prints one line per row and returns the exit code: 0
// when every row got a 2xx or 3xx status, 1 when a row failed, 2 when the file cannot be read.
int RunEventFileNow(const std::string& eventFile);

}  // namespace quillrun
