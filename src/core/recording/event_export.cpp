#include "core/recording/event_export.h"

#include <cstdio>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/replay/cookie_store.h"
#include "core/replay/url_encoding.h"
#include "core/replay/url_endpoint.h"
#include "core/replay/url_split.h"

namespace quillrun {
namespace {

bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                 ? 1
                             : c >= 0xC2 && c <= 0xDF ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

// A JSON string of UTF-8 text.
std::string Json(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Text for JSON: UTF-8 as it is, else the program's Shift_JIS read as such.
std::string AsUtf8(const std::string& bytes) {
    return IsUtf8(bytes) ? bytes : Cp932ToUtf8(bytes);
}

}  // namespace

bool WireRequestOf(const EventLine& row, WireRequest& request) {
    const std::string& method = row.method;
    const std::string& url = row.url;
    const std::string& data = row.data;
    bool script = IsScriptRow(row);
    if (script ? method != "POST" && !IsScriptMethod(EventMethodCode(method))
               : method != "URL" && method != "GET" && method != "POST")
        return false;
    std::string wireUrl = url.substr(0, url.find('#'));
    UrlParts parts;
    if (!SplitUrl(wireUrl, parts))
        return false;
    Endpoint target = EndpointOf(wireUrl, parts.host);
    request = WireRequest();
    request.method = method == "POST" ? "POST" : "GET";
    request.headers.emplace_back("User-Agent", "Tindrel/2.0");
    if (target.tls || App().settings.SocketHostHeader == 1)
        request.headers.emplace_back("Host", HostHeaderValue(target));
    std::string cookie = LookupCookies(target.host, parts.path, target.tls);
    if (script) {
        // In the sender's order: its own, the row's Content-Type, the cookies, the row's others.
        request.method = method;
        request.url = wireUrl;
        request.body = ScriptRowBody(row);
        HeaderEntries others;
        for (auto& [name, value] : SplitRowHeaders(row.headers)) {
            if (AsciiLower(name) == "content-type")
                request.headers.emplace_back(name, value);
            else
                others.emplace_back(name, value);
        }
        if (!cookie.empty())
            request.headers.emplace_back("Cookie", cookie);
        request.headers.insert(request.headers.end(), others.begin(), others.end());
        return true;
    }
    if (method == "POST") {
        request.url = wireUrl;
        request.body = data;
        std::string type = "application/x-www-form-urlencoded";
        if (data.find(kMultipartMarker) != std::string::npos) {
            UrlDecode(request.body, 0, true);
            type = "multipart/form-data";
            std::string boundary = MultipartBoundary(request.body);
            if (!boundary.empty())
                type += "; boundary=" + boundary;
        }
        request.headers.emplace_back("Content-Type", type);
    } else {
        // The sender always writes the "?", with or without a query.
        request.url = wireUrl + "?" + data;
    }
    if (!cookie.empty())
        request.headers.emplace_back("Cookie", cookie);
    return true;
}

std::string ShellQuote(const std::string& bytes) {
    std::string out = "$'";
    for (unsigned char c : bytes) {
        if (c == '\'' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out + "'";
}

std::string CurlCommand(const WireRequest& request) {
    // HTTP/1.0 as the sender speaks it; curl's own Accept and Host are taken away unless the
    // sender writes them itself.
    std::string command = "curl --http1.0 -sS -o /dev/null -w '%{http_code}\\n' -X " +
                          request.method + " -H 'Accept:'";
    bool host = false, type = false;
    for (const auto& [name, value] : request.headers) {
        host = host || name == "Host";
        type = type || AsciiLower(name) == "content-type";
        command += " -H " + ShellQuote(name + ": " + value);
    }
    if (!host)
        command += " -H 'Host:'";
    if (request.method != "GET") {
        // Every method but GET sends its body and its length, as the sender does (zero too);
        // curl's own form Content-Type goes when the row has none.
        if (!type)
            command += " -H 'Content-Type:'";
        if (request.body.find('\0') == std::string::npos) {
            command += " --data-binary " + ShellQuote(request.body);
        } else {
            // A shell word cannot hold a zero byte; printf's format writes one.
            std::string format;
            for (char c : request.body) {
                if (c == '%')
                    format += "%%";
                else if (c == '\\')
                    format += "\\\\";
                else if (c == '\0')
                    format += "\\x00";
                else
                    format += c;
            }
            command += " --data-binary @<(printf -- " + ShellQuote(format) + ")";
        }
    }
    return command + " " + ShellQuote(request.url);
}

std::string HarDocument(const std::vector<WireRequest>& requests, const std::string& startedAt) {
    std::string entries;
    for (std::size_t k = 0; k < requests.size(); ++k) {
        const WireRequest& r = requests[k];
        std::string headers;
        std::string mimeType;
        for (const auto& [name, value] : r.headers) {
            if (!headers.empty())
                headers += ",";
            headers += "{\"name\":" + Json(name) + ",\"value\":" + Json(AsUtf8(value)) + "}";
            if (name == "Content-Type")
                mimeType = value;
        }
        std::string query;
        std::size_t mark = r.url.find('?');
        std::string rest = mark == std::string::npos ? std::string() : r.url.substr(mark + 1);
        for (std::size_t at = 0; !rest.empty() && at <= rest.size();) {
            std::size_t end = rest.find('&', at);
            std::string pair =
                rest.substr(at, end == std::string::npos ? std::string::npos : end - at);
            std::size_t equals = pair.find('=');
            if (!query.empty())
                query += ",";
            query += "{\"name\":" + Json(AsUtf8(pair.substr(0, equals))) + ",\"value\":" +
                     Json(equals == std::string::npos ? "" : AsUtf8(pair.substr(equals + 1))) + "}";
            if (end == std::string::npos)
                break;
            at = end + 1;
        }
        std::string post;
        bool hasBody = r.method != "GET";
        if (hasBody) {
            post = ",\"postData\":{\"mimeType\":" + Json(mimeType) +
                   ",\"text\":" + Json(AsUtf8(r.body)) + "}";
        }
        if (!entries.empty())
            entries += ",\n";
        entries +=
            "{\"startedDateTime\":" + Json(startedAt) +
            ",\"time\":0,\"request\":{\"method\":" + Json(r.method) +
            ",\"url\":" + Json(AsUtf8(r.url)) +
            ",\"httpVersion\":\"HTTP/1.0\",\"cookies\":[],\"headers\":[" + headers +
            "],\"queryString\":[" + query + "]" + post +
            ",\"headersSize\":-1,\"bodySize\":" + std::to_string(hasBody ? r.body.size() : 0) +
            "},\"response\":{\"status\":0,\"statusText\":\"\",\"httpVersion\":\"\","
            "\"cookies\":[],\"headers\":[],\"content\":{\"size\":0,\"mimeType\":\"\"},"
            "\"redirectURL\":\"\",\"headersSize\":-1,\"bodySize\":-1},\"cache\":{},"
            "\"timings\":{\"send\":0,\"wait\":0,\"receive\":0},\"comment\":" +
            Json("row " + std::to_string(k + 1)) + "}";
    }
    return "{\"log\":{\"version\":\"1.2\",\"creator\":{\"name\":\"quillrun\",\"version\":\"1.10\"},"
           "\"pages\":[],\"entries\":[\n" +
           entries + "\n]}}\n";
}

}  // namespace quillrun
