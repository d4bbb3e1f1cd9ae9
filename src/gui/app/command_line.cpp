#include "gui/app/command_line.h"

#include <cstdio>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/recording/message_sink.h"
#include "core/replay/socket_sender.h"

namespace quillrun {

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.mode = CommandLine::Mode::Help;
            return line;
        }
        if (arg == "--version") {
            line.mode = CommandLine::Mode::Version;
            return line;
        }
        if (arg == "--run" && line.mode == CommandLine::Mode::Desktop) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                line.mode = CommandLine::Mode::Error;
                line.error = "--run needs an event file";
                return line;
            }
            line.mode = CommandLine::Mode::Run;
            line.eventFile = argv[++i];
            continue;
        }
        if (arg == "--browser") {
            line.browser = true;
            continue;
        }
        if (arg == "--headless" && line.mode == CommandLine::Mode::Desktop) {
            line.mode = CommandLine::Mode::Headless;
            continue;
        }
        line.mode = CommandLine::Mode::Error;
        line.error = "unknown argument: " + arg + " (see --help)";
        return line;
    }
    if (line.browser && line.mode != CommandLine::Mode::Run) {
        line.mode = CommandLine::Mode::Error;
        line.error = "--browser goes with --run";
    }
    return line;
}

std::string UsageText() {
    return "Usage: quillrun                           start the desktop program\n"
           "       quillrun --run FILE.evf [--browser] replay an event file now\n"
           "       quillrun --headless                run the scheduled tasks without a window\n"
           "       quillrun --help | --version\n"
           "\n"
           "--run uses the settings, cookies and response files of the program folder (the\n"
           "folder of the executable) and the socket sender, or with --browser the browser\n"
           "engine offscreen; it prints one line per row (time, method, URL, status line or\n"
           "error, bytes received, milliseconds) and exits 0 when every row got a 2xx or 3xx\n"
           "status, 1 when a row failed, 2 on bad arguments or an unreadable file. A running\n"
           "desktop program does not stop it; the duplicate-post guard applies as for tasks.\n"
           "--headless runs the scheduler and both replay engines with no display; it and the\n"
           "desktop program refuse to run together. SIGTERM ends it normally.\n";
}

int RunEventFile(const std::string& eventFile, const EventFileReplay& replay) {
    // Paths on the command line are the file system's; the program's are Shift_JIS.
    std::string path = Utf8ToCp932(eventFile);
    std::string content;
    if (!ReadWholeFile(path, content)) {
        std::fprintf(stderr, "quillrun: cannot read %s\n", eventFile.c_str());
        return 2;
    }
    // The settings of the program folder, read only: the running desktop program's files
    // (its guard file, its log) are left as they are.
    LoadConfiguration(App());
    SetMessageSink([](const std::string& text) {
        std::fprintf(stderr, "quillrun: %s\n", Cp932ToUtf8(text).c_str());
    });
    bool failed = false;
    replay(path, [&failed](const RowResult& row) {
        failed = failed || !row.ok;
        std::printf("%s\n", FormatRowResult(row).c_str());
        std::fflush(stdout);
    });
    SetMessageSink(nullptr);
    return failed ? 1 : 0;
}

int RunEventFileNow(const std::string& eventFile) {
    return RunEventFile(eventFile, [](const std::string& path, const RowObserver& observer) {
        SocketReplayThread(path, observer);
    });
}

}  // namespace quillrun
