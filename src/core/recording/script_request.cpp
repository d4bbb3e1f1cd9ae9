#include "core/recording/script_request.h"

#include "core/platform/cp932.h"
#include "core/web/url_encoding.h"

namespace quillrun {

namespace {

// Written by the socket sender itself, or by the engine alone (a script cannot set them, so
// a replay through the browser could not either).
bool LeftOut(const std::string& lowerName) {
    static const char* const kNames[] = {"content-length",
                                         "cookie",
                                         "cookie2",
                                         "host",
                                         "user-agent",
                                         "connection",
                                         "keep-alive",
                                         "transfer-encoding",
                                         "te",
                                         "trailer",
                                         "upgrade",
                                         "date",
                                         "expect",
                                         "via",
                                         "referer",
                                         "accept-encoding",
                                         "accept-charset",
                                         "dnt",
                                         "access-control-request-headers",
                                         "access-control-request-method",
                                         "origin"};
    for (const char* name : kNames) {
        if (lowerName == name)
            return true;
    }
    // HTTP/2's pseudo-headers (":authority" and the like, in a HAR) are no headers at all.
    return lowerName.rfind("proxy-", 0) == 0 || lowerName.rfind("sec-", 0) == 0 ||
           lowerName.rfind(":", 0) == 0;
}

}  // namespace

bool ScriptRequestEvent(const ScriptRequest& request, ScriptEvent& event, std::string& why) {
    event = ScriptEvent();
    int code = EventMethodCode(request.method);
    if (code != kMethodPost && !IsScriptMethod(code)) {
        why = "method " + request.method + " is not recorded";
        return false;
    }
    if (request.url.empty()) {
        why = "it has no URL";  // a row without one is the list's end to every reader
        return false;
    }
    if (request.url.size() >= kUrlWidth || HoldsControlByte(request.url)) {
        why = request.url.size() >= kUrlWidth ? "its URL is longer than 30719 bytes"
                                              : "its URL holds a control character";
        return false;
    }
    // Line breaks and other control bytes cannot stand in a line: such a body is kept escaped.
    bool escaped = HoldsControlByte(request.body);
    std::string data = request.body;
    if (escaped ? !PercentEncodeAll(data) : data.size() >= kDataWidth) {
        why = "its body is longer than " +
              std::to_string(escaped ? (kDataWidth - 1) / 3 : kDataWidth - 1) + " bytes";
        return false;
    }
    // The Origin first: every script request with a body or a method of its own carries one,
    // and it marks the row as a script request even when the page set no header.
    HeaderEntries kept{{"Origin", request.origin.empty() ? "null" : request.origin}};
    for (const auto& [name, value] : request.headers) {
        if (!LeftOut(AsciiLower(name)))
            kept.emplace_back(name, value);
    }
    std::string error;
    if (!JoinRowHeaders(kept, event.headers, error)) {
        why = error;
        return false;
    }
    if (escaped)
        event.headers = kPercentBodyEntry + (kHeaderSeparator + event.headers);
    if (event.headers.size() >= kHeadersWidth) {
        why = "its headers are longer than " + std::to_string(kHeadersWidth - 1) + " bytes";
        return false;
    }
    event.method = code;
    event.url = request.url;
    event.data = std::move(data);
    return true;
}

std::string ScriptRequestRecordedMessage(const ScriptRequest& request) {
    return J("スクリプトの通信を記録しました（") + request.via + J("）: ") + request.method + " " +
           request.url;
}

std::string ScriptRequestNotRecordedMessage(const ScriptRequest& request, const std::string& why) {
    return J("スクリプトの通信を記録できません（") + request.via + ", " + Utf8ToCp932(why) +
           J("）: ") + request.method + " " + request.url;
}

std::string UnrecordedChannelMessage(const std::string& kind, const std::string& url) {
    return J(kind == "beacon" ? "navigator.sendBeacon の送信は記録しません: "
                              : "WebSocket の通信は記録しません: ") +
           url;
}

}  // namespace quillrun
