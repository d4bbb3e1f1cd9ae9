// A request a page sent by script (fetch() or XMLHttpRequest), as the browser reports it while
// script requests are recorded, and the event it becomes.
#pragma once

#include <string>

#include "core/recording/event_line.h"

namespace quillrun {

struct ScriptRequest {
    // "request"; "unrecorded" (a body the hook cannot read, `why`); "beacon" or "websocket"
    // (said, never recorded).
    std::string kind = "request";
    std::string why;
    std::string via;        // "fetch" or "XMLHttpRequest"
    std::string method;     // upper case
    std::string url;        // absolute, as the engine resolved it (ASCII)
    HeaderEntries headers;  // the page's own headers and the Content-Type the body gave
    std::string origin;     // the Origin the engine sends with it
    std::string body;       // the bytes as sent
};

struct ScriptEvent {
    int method = kMethodNone;
    std::string url;
    std::string data;
    std::string headers;
};

// The event of a script request; false with the reason (UTF-8, for the message list) when it
// cannot be kept as an event line: a method other than POST, PUT, PATCH and DELETE, a body or
// URL that does not fit its field or holds a line break or another control byte, headers that
// are no HTTP headers. Headers the socket sender writes itself (Content-Length, Cookie, Host,
// User-Agent) and those only a browser may set are left out.
bool ScriptRequestEvent(const ScriptRequest& request, ScriptEvent& event, std::string& why);

// The message-list lines (CP932).
std::string ScriptRequestRecordedMessage(const ScriptRequest& request);
std::string ScriptRequestNotRecordedMessage(const ScriptRequest& request, const std::string& why);
// A navigator.sendBeacon or a WebSocket: said, never recorded.
std::string UnrecordedChannelMessage(const std::string& kind, const std::string& url);

}  // namespace quillrun
