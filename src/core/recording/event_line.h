// core/recording: event lines and files, the capture of requests, script requests and the
// request editor's model. Depends on web and platform.
//
// Event files (*.evf): one line per event, "%d\t%s\t%s\t%s\t" and CR LF (number, method, URL,
// data). A request a page sent by script carries a fifth field, its headers, after the data's
// tab ("%s\t" before the CR LF); readers that take four fields read such lines as before. This
// is the one reader of such lines, shared by the event list, the socket sender and the browser
// replay.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/web/url_encoding.h"

namespace quillrun {

// Field widths, terminating zero included. A URL is kept whole up to the data's width (today's
// addresses pass 259 bytes; files of 259-byte URLs read as they always did).
constexpr std::size_t kMethodWidth = 5;
// "PATCH" and "DELETE", the methods of script requests, are the only longer method texts kept.
constexpr std::size_t kLongMethodWidth = 7;
constexpr std::size_t kUrlWidth = kDataWidth;
constexpr std::size_t kHeadersWidth = 8192;
// Readers take at most this many bytes of a line at a time; a longer line is split and its
// remainder read as a line of its own. Room for a whole URL, data and headers: a line of a file
// with 259-byte URLs is never longer than 30994 bytes, so such files are read as before.
constexpr std::size_t kEventLineRead = 30994 + (kUrlWidth - 260) + kHeadersWidth;

enum EventMethod {
    kMethodNone = 0,
    kMethodUrl = 1,
    kMethodGet = 2,
    kMethodPost = 3,
    kMethodSet = 4,
    // Methods only a page's script requests use.
    kMethodPut = 5,
    kMethodPatch = 6,
    kMethodDelete = 7
};

// "URL", "GET", "POST", "SET", "PUT", "PATCH", "DELETE"; empty for any other code.
const char* EventMethodText(int code);
// The code of a method text compared exactly (case-sensitive); kMethodNone when none.
int EventMethodCode(std::string_view text);

struct EventLine {
    std::string method;   // at most 4 bytes ("PATCH", "DELETE" whole)
    std::string url;      // at most 30719 bytes
    std::string data;     // at most 30719 bytes; a script request's body as it was sent
    std::string headers;  // at most 8191 bytes: "Name: value" entries, kHeaderSeparator between
};

// Between two header entries of an event line: a byte no header name or value may hold.
constexpr char kHeaderSeparator = '\x1f';
using HeaderEntries = std::vector<std::pair<std::string, std::string>>;
// The entries of a headers field: name and value around the first ": " (or ":"), the value's
// surrounding spaces dropped; an entry without a colon is left out.
HeaderEntries SplitRowHeaders(std::string_view field);
// The headers field of entries, or false with why: a name that is not an HTTP token, a header
// a row may not carry (above), a value with a control byte (tab included: it ends the field),
// or a field wider than its width.
bool JoinRowHeaders(const HeaderEntries& entries, std::string& field, std::string& error);
// Why a row may not carry this header: one the socket sender writes itself (Content-Length,
// Host, Cookie, User-Agent) or a hop-by-hop one (Connection, Keep-Alive, Transfer-Encoding,
// TE, Trailer, Upgrade, Proxy-*); empty when it may. A row carrying one would send two
// lengths, a chunked body, a foreign Host or a planted Cookie.
std::string RefusedRowHeader(std::string_view name);
// The first such header of a headers field, with why; empty when there is none.
std::string RefusedRowHeaders(std::string_view field);
// The value of the named header (case-insensitive), empty when it is not there.
std::string RowHeaderValue(std::string_view field, std::string_view name);
// A script row's body that holds line breaks or other control bytes (a multipart form, text
// of several lines) is kept with every byte as %XX, and its headers field then starts with
// this entry, which is no header and never sent.
constexpr char kPercentBodyEntry[] = ":body: percent-encoded";
bool RowBodyIsPercentEncoded(std::string_view headers);
// The body bytes of a script row (its data, decoded when so marked).
std::string ScriptRowBody(const EventLine& row);
// A row a page's script sent: it carries headers (at least the Origin its browser sent). Its
// data is the body byte for byte, and its method may be PUT, PATCH or DELETE as well.
bool IsScriptRow(const EventLine& row);
bool IsScriptMethod(int code);
// Whether a row of this method code and headers is an event at all: PUT, PATCH and DELETE
// only as script rows; without headers they are unknown methods, as they always were.
bool IsKnownRow(int code, std::string_view headers);

// Takes method, URL, data and headers from between the first five tabs of line (a line as read,
// its "\n" included or not). False when the line has no tab. A field whose closing tab is
// missing runs to the end of this line, never into another one.
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

// True when the method, URL or data holds a control byte (a NUL, a bare CR, ...), or the headers
// one besides their separator: such a row is damaged, and sending it would put bytes on the
// wire that were never recorded.
bool RowHoldsControlBytes(const EventLine& row);
// Why no reader may act on a row (what the replays refuse): control bytes, or a header the row
// may not carry; empty when the row may be sent.
std::string RowRefusal(const EventLine& row);
// The message-list line of a replay that ended at such a row (row numbers from 1).
std::string DamagedRowMessage(std::size_t rowNumber);

// The lines of an event file as a text-mode reader sees them: CR LF read as "\n", each piece
// at most kEventLineRead bytes, "\n" kept at the end of the pieces that had one.
std::vector<std::string> SplitEventFileLines(const std::string& content);

// False when the file cannot be read.
bool ReadEventFileLines(const std::string& path, std::vector<std::string>& lines);

// One line of an event file as written on disk, CR LF included; the headers field only when
// there are headers.
std::string FormatEventLine(int ordinal, std::string_view method, std::string_view url,
                            std::string_view data, std::string_view headers = {});

}  // namespace quillrun
