// The program's command line: none starts the desktop program; the rest are verbs for use
// without a desktop (a replay now, from a script, cron or a systemd timer). The arguments are
// read once into a CommandLine; main then calls the one verb it names (gui/cli/verb.h).
#pragma once

#include <string>
#include <vector>

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
    std::string eventFile;   // --run FILE
    bool browser = false;    // --run FILE --browser
    std::string at;          // --run FILE --at TIME, as given
    bool preconnect = true;  // --no-preconnect: connect at the moment, not ahead (to compare)
    bool lateOk = false;     // --late-ok: a moment passed less than 10 minutes ago goes at once
    int momentRow = 1;       // --moment-row N: the row written at the moment (from 1)
    int leadSeconds = 30;    // --lead S: the rows before it start this long ahead
    bool leadGiven = false;
    std::string url;                 // --server-clock URL
    std::string instanceFolder;      // --instance-dir DIR: the per-user lock's folder
    std::string folder;              // --folder DIR: the program folder for this start
    RunSettings settings;            // --expect, --reject, --status, --retry-every, --retry-for
    std::string junitPath;           // --junit OUT.xml
    std::string outputPath;          // -o OUT (--export-har, --import-har)
    std::vector<std::string> hosts;  // --host HOST (--import-har)
    bool judged = false;             // one of the options above was given
    std::string error;               // what is wrong with the arguments
};

// Reads the arguments; a mistake gives Mode::Error with the reason.
CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help.
std::string UsageText();

}  // namespace quillrun
