#include "gui/cli/command_line.h"

#include <unistd.h>

#include <cstdlib>

namespace quillrun {
namespace {

using Mode = CommandLine::Mode;

bool Refuse(CommandLine& line, const std::string& why) {
    line.mode = Mode::Error;
    line.error = why;
    return false;
}

// The option's value taken into the line; false (with the line's error set) when it is refused.
using Take = bool (*)(CommandLine& line, const std::string& option, const std::string& value);

struct Option {
    const char* name;
    const char* needs;  // what its value is, said when it is missing; nullptr: no value
    // A verb is named once, first: a second one is an unknown argument.
    bool verb;
    Take take;
};

bool TakeFolder(CommandLine& line, const std::string&, const std::string& value) {
    line.folder = value;
    if (line.folder[0] != '/') {
        // Relative to where the program was started.
        char here[4096];
        if (::getcwd(here, sizeof here) != nullptr)
            line.folder = std::string(here) + "/" + line.folder;
    }
    return true;
}

bool TakeRuleText(CommandLine& line, const std::string& option, const std::string& value) {
    (option == "--expect" ? line.settings.rule.expectText : line.settings.rule.rejectText) = value;
    line.judged = true;
    return true;
}

bool TakeStatus(CommandLine& line, const std::string&, const std::string& value) {
    line.settings.rule.statusRanges = value;
    if (!ValidStatusRanges(value))
        return Refuse(line, "--status: not statuses such as 200-299,302: " + value);
    line.judged = true;
    return true;
}

// A whole number from low to high; false (the line's error set) otherwise.
bool TakeNumber(CommandLine& line, const std::string& option, const std::string& value, long low,
                long high, int& out) {
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != '\0' || number < low || number > high)
        return Refuse(line, option + ": a number from " + std::to_string(low) + " to " +
                                std::to_string(high) + " is needed");
    out = static_cast<int>(number);
    return true;
}

bool TakeRetry(CommandLine& line, const std::string& option, const std::string& value) {
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    bool every = option == "--retry-every";
    long low = every ? RetryWindow::kShortestEveryMs : 1;
    long high = every ? 3600000 : 3600;
    if (end == value.c_str() || *end != '\0' || number < low || number > high)
        return Refuse(line, option + ": a number from " + std::to_string(low) + " to " +
                                std::to_string(high) + " is needed");
    (every ? line.settings.retry.everyMs : line.settings.retry.forSeconds) =
        static_cast<int>(number);
    line.judged = true;
    return true;
}

const Option kOptions[] = {
    {"--run", "an event file", true,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.eventFile = v;
         l.mode = Mode::Run;
         return true;
     }},
    {"--browser", nullptr, false,
     [](CommandLine& l, const std::string&, const std::string&) { return l.browser = true; }},
    {"--at", "a time (HH:MM[:SS[.mmm]] or YYYY-MM-DDTHH:MM[:SS[.mmm]])", false,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.at = v;
         return true;
     }},
    {"--folder", "a folder", false, TakeFolder},
    {"--instance-dir", "a folder", false,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.instanceFolder = v;
         return true;
     }},
    {"--expect", "a text", false, TakeRuleText},
    {"--reject", "a text", false, TakeRuleText},
    {"--status", "statuses such as 200-299,302", false, TakeStatus},
    {"--retry-every", "milliseconds", false, TakeRetry},
    {"--retry-for", "seconds", false, TakeRetry},
    {"--fresh-hidden", nullptr, false,
     [](CommandLine& l, const std::string&, const std::string&) {
         l.settings.freshHidden = true;
         return l.judged = true;
     }},
    {"--junit", "a file to write", false,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.junitPath = v;
         return l.judged = true;
     }},
    {"--no-preconnect", nullptr, false,
     [](CommandLine& l, const std::string&, const std::string&) {
         l.preconnect = false;
         return true;
     }},
    {"--late-ok", nullptr, false,
     [](CommandLine& l, const std::string&, const std::string&) { return l.lateOk = true; }},
    {"--moment-row", "a row number", false,
     [](CommandLine& l, const std::string& o, const std::string& v) {
         return TakeNumber(l, o, v, 1, 99999, l.momentRow);
     }},
    {"--lead", "seconds", false,
     [](CommandLine& l, const std::string& o, const std::string& v) {
         l.leadGiven = true;
         return TakeNumber(l, o, v, 1, 3600, l.leadSeconds);
     }},
    {"--import-har", "a HAR file", true,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.eventFile = v;
         l.mode = Mode::ImportHar;
         return true;
     }},
    {"--host", "a host name", false,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.hosts.push_back(v);
         return true;
     }},
    {"--export-curl", "an event file", true,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.eventFile = v;
         l.mode = Mode::ExportCurl;
         return true;
     }},
    {"--export-har", "an event file", true,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.eventFile = v;
         l.mode = Mode::ExportHar;
         return true;
     }},
    {"-o", "a file to write", false,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.outputPath = v;
         return true;
     }},
    {"--clock", nullptr, true,
     [](CommandLine& l, const std::string&, const std::string&) {
         l.mode = Mode::Clock;
         return true;
     }},
    {"--server-clock", "a URL", true,
     [](CommandLine& l, const std::string&, const std::string& v) {
         l.url = v;
         l.mode = Mode::ServerClock;
         return true;
     }},
    {"--headless", nullptr, true,
     [](CommandLine& l, const std::string&, const std::string&) {
         l.mode = Mode::Headless;
         return true;
     }},
};

const Option* FindOption(const std::string& arg, const CommandLine& line) {
    for (const Option& option : kOptions) {
        if (arg == option.name)
            return option.verb && line.mode != Mode::Desktop ? nullptr : &option;
    }
    return nullptr;
}

// The options that go only with others, checked once every argument is read.
void CheckCombinations(CommandLine& line) {
    auto refuse = [&line](bool wrong, const char* why) {
        if (wrong && line.mode != Mode::Error)
            Refuse(line, why);
    };
    refuse(line.browser && line.mode != Mode::Run, "--browser goes with --run");
    refuse(!line.preconnect && line.at.empty(), "--no-preconnect goes with --at");
    refuse(line.lateOk && line.at.empty(), "--late-ok goes with --at");
    refuse(line.momentRow > 1 && line.at.empty(), "--moment-row goes with --at");
    refuse(line.leadGiven && line.momentRow <= 1, "--lead goes with --moment-row");
    refuse(line.judged && line.mode != Mode::Run,
           "--expect, --reject, --status, --retry-every, --retry-for, --junit and --fresh-hidden "
           "go with --run");
    refuse((line.settings.retry.everyMs > 0) != (line.settings.retry.forSeconds > 0),
           "--retry-every and --retry-for go together");
    bool writes = line.mode == Mode::ExportHar || line.mode == Mode::ImportHar;
    refuse(writes == line.outputPath.empty(),
           "--export-har and --import-har need -o OUT, and -o goes only with them");
    refuse(!line.hosts.empty() && line.mode != Mode::ImportHar, "--host goes with --import-har");
    if (!line.at.empty() && line.mode != Mode::Run)
        Refuse(line, "--at goes with --run");
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.mode = Mode::Help;
            return line;
        }
        if (arg == "--version") {
            line.mode = Mode::Version;
            return line;
        }
        const Option* option = FindOption(arg, line);
        if (option == nullptr) {
            Refuse(line, "unknown argument: " + arg + " (see --help)");
            return line;
        }
        std::string value;
        if (option->needs != nullptr) {
            // The option's value is the next argument; none (or an empty one) is an error.
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                Refuse(line, arg + " needs " + option->needs);
                return line;
            }
            value = argv[++i];
        }
        if (!option->take(line, arg, value))
            return line;
    }
    CheckCombinations(line);
    return line;
}

}  // namespace quillrun
