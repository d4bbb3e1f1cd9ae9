#include "core/formats/har.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <nlohmann/json.hpp>

#include "core/platform/cp932.h"
#include "core/recording/event_line.h"
#include "core/recording/script_request.h"
#include "core/web/form_encoding.h"
#include "core/web/url_encoding.h"
#include "core/web/url_split.h"

namespace quillrun {
namespace {

using Json = nlohmann::ordered_json;

// Text for JSON: UTF-8 as it is, else the program's Shift_JIS read as such.
std::string AsUtf8(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : Cp932ToUtf8(bytes);
}

Json NameValue(const std::string& name, const std::string& value) {
    return Json{{"name", name}, {"value", value}};
}

// The query's name=value pairs, in order.
Json QueryString(const std::string& url) {
    Json query = Json::array();
    std::size_t mark = url.find('?');
    std::string rest = mark == std::string::npos ? std::string() : url.substr(mark + 1);
    for (const std::string& pair :
         rest.empty() ? std::vector<std::string>() : UrlencodedPairs(rest)) {
        std::size_t equals = pair.find('=');
        query.push_back(
            NameValue(AsUtf8(pair.substr(0, equals)),
                      equals == std::string::npos ? "" : AsUtf8(pair.substr(equals + 1))));
    }
    return query;
}

Json HarEntry(const WireRequest& r, std::size_t k, const std::string& startedAt) {
    Json headers = Json::array();
    std::string mimeType;
    for (const auto& [name, value] : r.headers) {
        headers.push_back(NameValue(name, AsUtf8(value)));
        if (AsciiLower(name) == "content-type")  // a script row's header as the page wrote it
            mimeType = value;
    }
    bool hasBody = r.method != "GET";
    Json request{{"method", r.method},        {"url", AsUtf8(r.url)},
                 {"httpVersion", "HTTP/1.0"}, {"cookies", Json::array()},
                 {"headers", headers},        {"queryString", QueryString(r.url)}};
    if (hasBody)
        request["postData"] = Json{{"mimeType", mimeType}, {"text", AsUtf8(r.body)}};
    request["headersSize"] = -1;
    request["bodySize"] = hasBody ? r.body.size() : 0;
    Json response{{"status", 0},
                  {"statusText", ""},
                  {"httpVersion", ""},
                  {"cookies", Json::array()},
                  {"headers", Json::array()},
                  {"content", Json{{"size", 0}, {"mimeType", ""}}},
                  {"redirectURL", ""},
                  {"headersSize", -1},
                  {"bodySize", -1}};
    return Json{{"startedDateTime", startedAt},
                {"time", 0},
                {"request", request},
                {"response", response},
                {"cache", Json::object()},
                {"timings", Json{{"send", 0}, {"wait", 0}, {"receive", 0}}},
                {"comment", "row " + std::to_string(k + 1)}};
}

// A JSON value's string, or empty when it is none (a HAR from a careless writer).
std::string Text(const Json& object, const char* key) {
    if (!object.is_object())
        return std::string();
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

const Json& Member(const Json& object, const char* key) {
    static const Json kNone;
    if (!object.is_object())
        return kNone;
    auto found = object.find(key);
    return found != object.end() ? *found : kNone;
}

// A HAR's header text as its bytes on the wire: one byte per character where every character
// fits one, else UTF-8.
std::string HeaderText(const std::string& utf8) {
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            latin1 += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            latin1 += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
        } else {
            return utf8;
        }
    }
    return latin1;
}

// Base64 as browsers write it; characters outside the alphabet (line breaks, "=") are skipped.
std::string FromBase64(const std::string& text) {
    std::string out;
    unsigned int buffer = 0;
    int bits = 0;
    for (unsigned char c : text) {
        int d = c >= 'A' && c <= 'Z'   ? c - 'A'
                : c >= 'a' && c <= 'z' ? c - 'a' + 26
                : c >= '0' && c <= '9' ? c - '0' + 52
                : c == '+'             ? 62
                : c == '/'             ? 63
                                       : -1;
        if (d < 0)
            continue;
        buffer = (buffer << 6) | static_cast<unsigned int>(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
            buffer &= (1u << bits) - 1;
        }
    }
    return out;
}

// "scheme://host[:port]" of an address; "null" when it has none.
std::string OriginOfUrl(const std::string& url) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return "null";
    return url.substr(0, url.find_first_of("/?#", scheme + 3));
}

// The host of an address without its port ("[::1]:8080" is "[::1]").
std::string HostWithoutPort(const std::string& host) {
    std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && (host[0] != '[' || colon > host.find(']')))
        return host.substr(0, colon);
    return host;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A request sent by script (or with a body no form sends) as a script row with its headers;
// false with the reason when it makes no event.
bool ScriptRowOf(const Json& request, const std::string& method, const std::string& url,
                 const std::string& mime, const std::string& body, std::string& line, int ordinal,
                 std::string& why) {
    ScriptRequest sent;
    sent.via = "HAR";
    sent.method = method;
    sent.url = url;
    sent.body = body;
    std::string referer;
    const Json& headers = Member(request, "headers");
    if (headers.is_array()) {
        for (const Json& h : headers) {
            std::string name = HeaderText(Text(h, "name"));
            std::string value = HeaderText(Text(h, "value"));
            std::string lower = AsciiLower(name);
            if (lower == "origin")
                sent.origin = value;
            else if (lower == "referer")
                referer = value;
            sent.headers.emplace_back(name, value);
        }
    }
    if (!mime.empty() && std::none_of(sent.headers.begin(), sent.headers.end(), [](const auto& h) {
            return AsciiLower(h.first) == "content-type";
        }))
        sent.headers.emplace_back("Content-Type", mime);
    if (sent.origin.empty())
        sent.origin = OriginOfUrl(referer.empty() ? url : referer);
    ScriptEvent event;
    if (!ScriptRequestEvent(sent, event, why))
        return false;
    line = FormatEventLine(ordinal, EventMethodText(event.method), event.url, event.data,
                           event.headers);
    return true;
}

// A request header's value (the first of the name, any case); empty when there is none.
std::string RequestHeader(const Json& request, const std::string& lowerName) {
    const Json& headers = Member(request, "headers");
    if (!headers.is_array())
        return std::string();
    for (const Json& h : headers) {
        if (AsciiLower(Text(h, "name")) == lowerName)
            return Text(h, "value");
    }
    return std::string();
}

std::string ExtensionOf(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return AsciiLower(path.substr(dot + 1));
}

// What the entry's request was for: "document" for a page, else a kind ("image", "script",
// "stylesheet", "font", "xhr", "fetch", "media", or the answer's type). Chrome names it
// (_resourceType); otherwise the fetch destination the browser sent, the script marker, the
// answer's type, the Accept header and, last, the address's extension tell it.
std::string ResourceType(const Json& entry, const std::string& url) {
    std::string chrome = Text(entry, "_resourceType");
    if (!chrome.empty())
        return chrome;
    const Json& request = Member(entry, "request");
    std::string dest = AsciiLower(RequestHeader(request, "sec-fetch-dest"));
    if (dest == "document" || dest == "iframe" || dest == "frame")
        return "document";
    if (dest == "style")
        return "stylesheet";
    if (dest == "empty")
        return "fetch";
    if (!dest.empty())
        return dest;
    if (AsciiLower(RequestHeader(request, "x-requested-with")) == "xmlhttprequest")
        return "xhr";
    std::string answer = AsciiLower(Text(Member(Member(entry, "response"), "content"), "mimeType"));
    answer = answer.substr(0, answer.find(';'));
    if (answer == "text/html" || answer == "application/xhtml+xml")
        return "document";
    for (const char* kind : {"image/", "font/", "audio/", "video/"}) {
        if (StartsWith(answer, kind))
            return std::string(kind, std::strlen(kind) - 1);
    }
    if (answer == "text/css")
        return "stylesheet";
    if (answer.find("javascript") != std::string::npos || answer == "application/wasm")
        return "script";
    std::string accept = AsciiLower(RequestHeader(request, "accept"));
    if (accept.find("text/html") != std::string::npos)
        return "document";
    if (StartsWith(accept, "image/"))
        return "image";
    if (StartsWith(accept, "text/css"))
        return "stylesheet";
    std::string extension = ExtensionOf(url);
    for (const char* image : {"png", "jpg", "jpeg", "gif", "webp", "avif", "svg", "ico", "bmp"}) {
        if (extension == image)
            return "image";
    }
    if (extension == "css")
        return "stylesheet";
    if (extension == "js" || extension == "mjs")
        return "script";
    for (const char* font : {"woff", "woff2", "ttf", "otf", "eot"}) {
        if (extension == font)
            return "font";
    }
    return "document";
}

// A form field as urlencoded text: kept as the producer wrote it when it is encoded already
// (Chrome keeps the body's escapes), else encoded as a browser's form would (Firefox decodes).
std::string FormEncoded(const std::string& text) {
    bool encoded = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               (c != '\0' && std::strchr("%+-._~*", c) != nullptr);
    });
    if (encoded)
        return text;
    std::string out;
    AppendUrlEncoded(out, text);
    return out;
}

// The body of a post whose HAR holds only its fields (postData.params): urlencoded, or a
// multipart body with the boundary the content type names, each part and file as held.
std::string BodyOfParams(const Json& params, const std::string& mime) {
    std::string body;
    if (!StartsWith(mime, "multipart/form-data")) {
        for (const Json& p : params) {
            if (!body.empty())
                body += '&';
            body += FormEncoded(Text(p, "name")) + "=" + FormEncoded(Text(p, "value"));
        }
        return body;
    }
    std::size_t at = mime.find("boundary=");
    std::string boundary = at == std::string::npos ? std::string() : mime.substr(at + 9);
    boundary = boundary.substr(0, boundary.find(';'));
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"')
        boundary = boundary.substr(1, boundary.size() - 2);
    if (boundary.empty())
        return std::string();  // no boundary: no body the server could read
    for (const Json& p : params) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + Text(p, "name") +
                "\"";
        if (Member(p, "fileName").is_string())
            body += "; filename=\"" + Text(p, "fileName") + "\"";
        body += "\r\n";
        if (!Text(p, "contentType").empty())
            body += "Content-Type: " + Text(p, "contentType") + "\r\n";
        body += "\r\n" + Text(p, "value") + "\r\n";
    }
    return body + "--" + boundary + "--\r\n";
}

// The event line of one entry; false with the reason when the entry is left out.
bool EntryLine(const Json& entry, const std::string& method, const std::string& url,
               const std::vector<std::string>& hosts, int ordinal, std::string& line,
               std::string& why) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        why = "not an http(s) address";
        return false;
    }
    std::string host = HostWithoutPort(parts.host);
    if (!hosts.empty() && std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
        why = "another host";
        return false;
    }
    // Pages, form posts and the script requests that send something are events; what else a
    // page asked for is told by what every producer writes.
    std::string type = ResourceType(entry, url);
    if (method == "GET" && type != "document") {
        why = "a " + type + " request, not a page";
        return false;
    }
    if (method == "GET") {
        std::size_t mark = url.find('?');
        if (mark == std::string::npos || mark + 1 == url.size())
            line = FormatEventLine(ordinal, "URL", url.substr(0, mark), "");
        else
            line = FormatEventLine(ordinal, "GET", url.substr(0, mark), url.substr(mark + 1));
        return true;
    }
    const Json& request = Member(entry, "request");
    const Json& post = Member(request, "postData");
    std::string mime = Text(post, "mimeType");
    std::string body = Text(post, "text");
    if (Text(post, "encoding") == "base64")
        body = FromBase64(body);
    if (body.empty() && Member(post, "params").is_array() && !Member(post, "params").empty())
        body = BodyOfParams(Member(post, "params"), mime);
    bool byScript = type == "fetch" || type == "xhr";
    bool form = method == "POST" && !byScript &&
                (StartsWith(mime, "multipart/form-data") ||
                 StartsWith(mime, "application/x-www-form-urlencoded"));
    if (!form)
        return ScriptRowOf(request, method, url, mime, body, line, ordinal, why);
    if (StartsWith(mime, "multipart/form-data"))
        PercentEncodeAll(body);
    if (body.size() >= kDataWidth || body.find_first_of("\t\r\n") != std::string::npos) {
        why = "its body does not fit an event";
        return false;
    }
    line = FormatEventLine(ordinal, "POST", url, body);
    return true;
}

// Whether the line made of an entry is one row the replays would send: a control byte in any
// field (a CR LF in a URL would start a row of its own, for any host) or a header a row may not
// carry refuses the entry.
bool OneSendableRow(const std::string& line, std::string& why) {
    std::size_t end = line.find_first_of("\r\n");
    EventLine row;
    if (end + 2 != line.size() || !ParseReplayRow(line.substr(0, end), row)) {
        why = "control bytes in its method, address, body or headers";
        return false;
    }
    why = RowRefusal(row);
    if (why == "control bytes")
        why = "control bytes in its method, address, body or headers";
    return why.empty();
}

// The entry as JSON text, with every control character written as \u00XX (as the files this
// program has always written have them; the JSON library writes \b and \f short).
std::string EntryText(const Json& entry) {
    std::string dumped = entry.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        if (dumped[i] != '\\' || i + 1 == dumped.size()) {
            out += dumped[i];
            continue;
        }
        char next = dumped[++i];
        out += next == 'b' ? "\\u0008" : next == 'f' ? "\\u000c" : std::string{'\\', next};
    }
    return out;
}

}  // namespace

std::string HarDocument(const std::vector<WireRequest>& requests, const std::string& startedAt) {
    std::string entries;
    for (std::size_t k = 0; k < requests.size(); ++k) {
        if (!entries.empty())
            entries += ",\n";
        entries += EntryText(HarEntry(requests[k], k, startedAt));
    }
    return "{\"log\":{\"version\":\"1.2\",\"creator\":{\"name\":\"quillrun\",\"version\":\"1.10\"},"
           "\"pages\":[],\"entries\":[\n" +
           entries + "\n]}}\n";
}

HarImport ImportHar(const std::string& json, const std::vector<std::string>& hosts) {
    HarImport result;
    Json root = Json::parse(json, nullptr, false);
    if (root.is_discarded() || !Member(root, "log").is_object())
        return result;
    result.readable = true;
    const Json& entries = Member(Member(root, "log"), "entries");
    int ordinal = 0;
    for (std::size_t k = 0; entries.is_array() && k < entries.size(); ++k) {
        const Json& entry = entries[k];
        const Json& request = Member(entry, "request");
        std::string method = Text(request, "method");
        std::string url = Text(request, "url");
        url = url.substr(0, url.find('#'));
        std::string line, why;
        if (HoldsControlByte(method) || HoldsControlByte(url))
            why = "control bytes in its method or address";
        if (!why.empty() || !EntryLine(entry, method, url, hosts, ordinal + 1, line, why) ||
            !OneSendableRow(line, why)) {
            result.leftOut.push_back("entry " + std::to_string(k + 1) + " (" +
                                     EscapedControlBytes(method + " " + url) +
                                     ") left out: " + why);
            continue;
        }
        ++ordinal;
        result.eventFile += line;
    }
    result.eventFile += FormatEventLine(++ordinal, "", "", "");
    result.events = ordinal - 1;
    return result;
}

}  // namespace quillrun
