// Event files in the forms other tools read: a curl command per row (to try or share a request
// by hand) and a HAR 1.2 file of the rows' requests (for browsers' HAR viewers).
#pragma once

#include <string>
#include <vector>

#include "core/recording/event_line.h"

namespace quillrun {

// The socket sender's request of a row, as the parts other tools need: method, absolute URL
// (its query included), the header lines it sends beyond the request line (cookies as the
// cookie store holds them now), and the body bytes. False for a row the sender does not send
// (SET, an unknown method, a URL it cannot read). A script row's request has its method, its
// body bytes and its own headers.
struct WireRequest {
    std::string method;
    std::string url;                                           // bytes as on the wire
    std::vector<std::pair<std::string, std::string>> headers;  // name, value
    std::string body;
};
bool WireRequestOf(const EventLine& row, WireRequest& request);

// A POSIX shell word that keeps every byte: $'...' with escapes for quotes, backslashes and
// bytes that are not printable ASCII.
std::string ShellQuote(const std::string& bytes);

// One curl command (a line) that sends the request: HTTP/1.0, the same headers (and none of
// curl's own), the body as given (a body with a zero byte through printf, which keeps it).
std::string CurlCommand(const WireRequest& request);

// A HAR 1.2 document (UTF-8 JSON) of the requests, in order; `startedAt` an ISO 8601 time.
std::string HarDocument(const std::vector<WireRequest>& requests, const std::string& startedAt);

}  // namespace quillrun
