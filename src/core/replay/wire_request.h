// The socket sender's request of a row as its parts, for the tools that write it in other
// forms (curl, HAR).
#pragma once

#include "core/recording/event_line.h"
#include "core/web/http_request.h"

namespace quillrun {

// The request of a row: method, absolute URL (its query included), the header lines the sender
// writes beyond the request line (cookies as the cookie store holds them now), and the body
// bytes. False for a row the sender does not send (SET, an unknown method, a URL it cannot
// read). A script row's request has its method, its body bytes and its own headers.
bool WireRequestOf(const EventLine& row, WireRequest& request);

}  // namespace quillrun
