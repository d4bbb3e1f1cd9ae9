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

namespace {

// Whether curl would change the target (path and query) before sending it: it refuses blanks,
// percent-encodes bytes beyond ASCII in the path and takes out "." and ".." segments.
bool CurlAltersTarget(const std::string& target) {
    for (unsigned char c : target) {
        if (c == ' ' || c >= 0x80 || c == '\\')
            return true;
    }
    std::string path = target.substr(0, target.find('?')) + "/";
    return path.find("/./") != std::string::npos || path.find("/../") != std::string::npos;
}

// The bytes curl cannot send as the sender does (a control byte in a header or the method has
// no place in a curl option that keeps it): said in a comment line above the command.
std::string UnsendableBytes(const WireRequest& request) {
    std::string said;
    auto look = [&said](const std::string& where, const std::string& text) {
        for (unsigned char c : text) {
            if (IsControlByte(c) && c != '\t') {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02X", c);
                said += (said.empty() ? "" : ", ") + std::string(byte) + " in " + where;
            }
        }
    };
    look("the method", request.method);
    for (const auto& [name, value] : request.headers)
        look("header " + EscapedControlBytes(name), name + value);
    return said.empty() ? std::string() : "# curl cannot send as the row does: " + said + "\n";
}

}  // namespace

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
        // "Name:" would take the header away; "Name;" sends it empty.
        command +=
            " -H " + ShellQuote(value.empty() ? name + ";" : name + (bare ? ":" : ": ") + value);
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
    std::string url = request.url;
    std::size_t scheme = url.find("://");
    std::size_t slash = scheme == std::string::npos ? scheme : url.find('/', scheme + 3);
    if (slash != std::string::npos && CurlAltersTarget(url.substr(slash))) {
        command += " --request-target " + ShellQuote(url.substr(slash));
        url = url.substr(0, slash + 1);
    }
    return UnsendableBytes(request) + command + " " + ShellQuote(url);
}

}  // namespace quillrun
