// The program's command line: none starts the desktop program; the rest are for use without a
// desktop (a replay now, from a script, cron or a systemd timer).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/replay/run_report.h"
#include "core/replay/socket_sender.h"
#include "core/replay/success_rule.h"

namespace quillrun {

struct CommandLine {
    enum class Mode {
        Desktop,
        Help,
        Version,
        Run,
        Headless,
        Clock,        // --clock
        ServerClock,  // --server-clock URL
        ExportCurl,   // --export-curl FILE
        ExportHar,    // --export-har FILE -o OUT
        ImportHar,    // --import-har FILE [--host HOST]... -o OUT
        Error
    } mode = Mode::Desktop;
    std::string eventFile;       // --run FILE
    bool browser = false;        // --run FILE --browser
    std::string at;              // --run FILE --at TIME, as given
    bool preconnect = true;      // --no-preconnect: connect at the moment, not ahead (to compare)
    std::string url;             // --server-clock URL
    std::string instanceFolder;  // --instance-dir DIR: the per-user lock's folder
    std::string folder;          // --folder DIR: the program folder for this start
    RunSettings settings;        // --expect, --reject, --status, --retry-every, --retry-for
    std::string junitPath;       // --junit OUT.xml
    std::string outputPath;      // -o OUT (--export-har, --import-har)
    std::vector<std::string> hosts;  // --host HOST (--import-har)
    bool judged = false;             // one of the options above was given
    std::string error;               // what is wrong with the arguments
};

CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help.
std::string UsageText();

// --at TIME: "HH:MM[:SS[.mmm]]" is the next such moment after now (within 24 hours);
// "YYYY-MM-DD[T| ]HH:MM[:SS[.mmm]]" a local date and time, which must lie after now and at
// most 24 hours ahead. False with the reason otherwise.
bool ParseMomentText(const std::string& text, const LocalTime& now, LocalTime& moment,
                     std::string& error);

// Replays a file (Shift_JIS path) telling the observer of every row; with a moment, the first
// request is made ready ahead and sent at it.
using EventFileReplay = std::function<void(const std::string& path, const RowObserver& observer,
                                           const FirstRequestMoment* moment)>;
// What --run does around its engine: the file checked, the program folder's settings read,
// message-list lines on stderr, one line per row on stdout; the exit code as below. With a
// moment text (--at), the moment asked and the moment the first byte was written are printed.
// The settings' rule judges each try and the retry window runs failed tries again (waiting
// with `wait`); with a JUnit path, the tries are written there as a JUnit XML report.
int RunEventFile(const std::string& eventFile, const EventFileReplay& replay,
                 const std::string& at = std::string(), bool preconnect = true,
                 const RunSettings& settings = RunSettings(),
                 const std::string& junitPath = std::string(),
                 const std::function<bool(long long)>& wait = nullptr);

// --run FILE [--at TIME]: replays the event file through the socket sender with the program
// folder's settings, cookies and response files, prints one line per row and returns the exit
// code: 0 when every row got a 2xx or 3xx status, 1 when a row failed, 2 when the file cannot
// be read or the moment is refused.
int RunEventFileNow(const std::string& eventFile, const std::string& at = std::string(),
                    bool preconnect = true, const RunSettings& settings = RunSettings(),
                    const std::string& junitPath = std::string());

// --export-curl FILE: one curl command per row on stdout; --export-har FILE -o OUT: the rows'
// requests as a HAR 1.2 file. 0 done, 2 when the file cannot be read or written.
int ExportEventFile(const std::string& eventFile, bool har, const std::string& outputPath);

// --import-har FILE [--host HOST]... -o OUT.evf: an event file of the HAR's page navigations and
// form posts, in their order (only those to the hosts named, when some are); a line on stderr
// for every entry left out and why. 0 done, 2 when a file cannot be read or written.
int ImportHarFile(const std::string& harFile, const std::vector<std::string>& hosts,
                  const std::string& outputPath);

// --clock: prints the kernel's synchronisation state; 0 when synchronised, else 1.
int PrintClockState();

// --server-clock URL: prints how far the server's clock is from this one; 1 when no estimate
// could be made.
int PrintServerClock(const std::string& url);

}  // namespace quillrun
