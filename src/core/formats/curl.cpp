#include "core/formats/curl.h"

#include <cstdio>

#include "core/platform/cp932.h"

namespace quillrun {

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
    // sender writes them itself. "[]" and "{}" in an address are the address's own, never
    // curl's ranges and lists.
    std::string command = "curl --http1.0 --globoff -sS -o /dev/null -w '%{http_code}\\n' -X " +
                          request.method + " -H 'Accept:'";
    bool host = false, type = false;
    for (const auto& [name, value] : request.headers) {
        host = host || name == "Host";
        type = type || AsciiLower(name) == "content-type";
        bool bare = request.bareContentType && AsciiLower(name) == "content-type";
        command += " -H " + ShellQuote(name + (bare ? ":" : ": ") + value);
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

}  // namespace quillrun
