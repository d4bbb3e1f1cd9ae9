// Event files (*.evf): one line per event, "%d\t%s\t%s\t%s\t" and CR LF (number, method, URL,
// data). This is the one reader of such lines, shared by the event list, the socket sender and
// the browser replay.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillrun {

// Field widths, terminating zero included. A URL is kept whole up to the data's width (today's
// addresses pass 259 bytes; files of 259-byte URLs read as they always did).
constexpr std::size_t kMethodWidth = 5;
constexpr std::size_t kDataWidth = 30720;
constexpr std::size_t kUrlWidth = kDataWidth;
// Readers take at most this many bytes of a line at a time; a longer line is split and its
// remainder read as a line of its own. Room for a whole URL and data: a line of a file with
// 259-byte URLs is never longer than 30994 bytes, so such files are read as before.
constexpr std::size_t kEventLineRead = 30994 + (kUrlWidth - 260);

enum EventMethod {
    kMethodNone = 0,
    kMethodUrl = 1,
    kMethodGet = 2,
    kMethodPost = 3,
    kMethodSet = 4
};

// "URL", "GET", "POST", "SET"; empty for any other code.
const char* EventMethodText(int code);
// The code of a method text compared exactly (case-sensitive); kMethodNone when none.
int EventMethodCode(std::string_view text);

struct EventLine {
    std::string method;  // at most 4 bytes
    std::string url;     // at most 30719 bytes
    std::string data;    // at most 30719 bytes
};

// Takes method, URL and data from between the first four tabs of line (a line as read, its
// "\n" included or not). False when the line has no tab. A field whose closing tab is missing
// runs to the end of this line, never into another one.
bool ParseEventLine(std::string_view line, EventLine& out);

// A row both replay engines can act on: the line has a tab, and its method and URL are not
// empty. False ends a replay (the trailing empty pair ends it this way).
bool ParseReplayRow(std::string_view line, EventLine& out);
// The list's own end: the trailing empty pair (method and URL empty) or a blank line. Any other
// line that ParseReplayRow refuses is a damaged row.
bool IsEventListEnd(std::string_view line);
// Whether a file's content is an event file at all: not empty, no zero byte, and a first line
// laid out as an event line.
bool LooksLikeEventFile(const std::string& content);

// True when the method, URL or data holds a control byte (a NUL, a bare CR, ...): such a row is
// damaged, and sending it would put bytes on the wire that were never recorded.
bool RowHoldsControlBytes(const EventLine& row);
// The message-list line of a replay that ended at such a row (row numbers from 1).
std::string DamagedRowMessage(std::size_t rowNumber);

// The lines of an event file as a text-mode reader sees them: CR LF read as "\n", each piece
// at most kEventLineRead bytes, "\n" kept at the end of the pieces that had one.
std::vector<std::string> SplitEventFileLines(const std::string& content);

// False when the file cannot be read.
bool ReadEventFileLines(const std::string& path, std::vector<std::string>& lines);

// One line of an event file as written on disk, CR LF included.
std::string FormatEventLine(int ordinal, std::string_view method, std::string_view url,
                            std::string_view data);

}  // namespace quillrun
