// --export-curl FILE: one curl command per row on stdout; --export-har FILE -o OUT: the rows'
// requests as a HAR 1.2 file. 0 done, 1 when a row is refused (as --run refuses it: no HAR
// file is written), 2 when the file cannot be read or written.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "core/formats/curl.h"
#include "core/formats/har.h"
#include "core/platform/clock.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/recording/event_line.h"
#include "core/replay/wire_request.h"
#include "gui/cli/verb.h"
#include "gui/cli/verb_files.h"

namespace quillrun {
namespace {

// "YYYY-MM-DDThh:mm:ss.mmm+hh:mm" of now: ISO 8601 with the local offset, as HAR 1.2 asks.
std::string StartedNow() {
    LocalTime now = CurrentClock().Now();
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    long offset = local.tm_gmtoff / 60;
    char started[48];
    std::snprintf(started, sizeof started, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond,
                  offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    return started;
}

}  // namespace

int ExportVerb(const CommandLine& line, ProgramStart&) {
    bool har = line.mode == CommandLine::Mode::ExportHar;
    std::string path = Utf8ToCp932(line.eventFile);
    std::vector<std::string> lines;
    std::string content;
    if (!ReadWholeFile(path, content) || !LooksLikeEventFile(content) ||
        !ReadEventFileLines(path, lines)) {
        std::fprintf(stderr, "quillrun: not a readable event file: %s\n", line.eventFile.c_str());
        return 2;
    }
    // The program folder's cookies and settings, read only.
    if (!LoadSettingsOrSayWhy())
        return 2;
    std::vector<WireRequest> requests;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        EventLine row;
        if (!ParseReplayRow(lines[n], row))
            break;
        // What --run refuses is refused here too: the export ends there and says so.
        std::string refused = RowRefusal(row);
        if (!refused.empty()) {
            std::fprintf(stderr, "quillrun: row %zu not exported: %s\n", n + 1, refused.c_str());
            return 1;
        }
        WireRequest request;
        if (!WireRequestOf(row, request)) {
            std::fprintf(har ? stderr : stdout, "# row %zu (%s): not a request, left out\n", n + 1,
                         Cp932ToUtf8(row.method).c_str());
            continue;
        }
        if (!har)
            std::printf("%s\n", CurlCommand(request).c_str());
        requests.push_back(request);
    }
    if (!har)
        return 0;
    return WriteNamedFile(line.outputPath, HarDocument(requests, StartedNow())) ? 0 : 2;
}

}  // namespace quillrun
