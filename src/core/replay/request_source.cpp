#include "core/replay/request_source.h"

#include <algorithm>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

// The address as a referrer: no fragment, no user information.
std::string ReferrerForm(const std::string& url) {
    std::string out = url.substr(0, url.find('#'));
    std::size_t scheme = out.find("://");
    if (scheme == std::string::npos)
        return out;
    std::size_t hostEnd = out.find_first_of("/?", scheme + 3);
    std::size_t at = out.rfind('@', hostEnd == std::string::npos ? out.size() : hostEnd);
    if (at != std::string::npos && at > scheme)
        out.erase(scheme + 3, at - scheme - 2);
    return out;
}

}  // namespace

std::string OriginOf(const std::string& url) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return "null";
    std::string name = AsciiLower(url.substr(0, scheme));
    if (name != "http" && name != "https")
        return "null";
    std::size_t end = url.find_first_of("/?#", scheme + 3);
    std::string authority =
        url.substr(scheme + 3, end == std::string::npos ? std::string::npos : end - scheme - 3);
    std::size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    authority = AsciiLower(authority);
    // The default port is left out, as browsers serialize an origin; in "[::80]" the digits
    // are the address's own.
    std::string defaultPort = name == "https" ? ":443" : ":80";
    std::size_t portAt = authority.size() - std::min(authority.size(), defaultPort.size());
    if (portAt > 0 && authority.compare(portAt, std::string::npos, defaultPort) == 0 &&
        (authority.find('[') == std::string::npos || authority[portAt - 1] == ']'))
        authority.erase(portAt);
    if (authority.empty())
        return "null";
    return name + "://" + authority;
}

RequestSource SourceOfRow(const std::string& rowUrl, const std::string& pageUrl,
                          const std::vector<std::string>& frameUrls) {
    std::string target = OriginOf(rowUrl);
    RequestSource source;
    source.page = pageUrl;
    if (OriginOf(pageUrl) != target) {
        for (const std::string& frame : frameUrls) {
            if (target != "null" && OriginOf(frame) == target) {
                source.page = frame;
                source.fromFrame = true;
                break;
            }
        }
    }
    source.origin = OriginOf(source.page);
    source.sameOrigin = source.origin != "null" && source.origin == target;
    if (source.origin == "null") {
        source.referrer.clear();
    } else if (source.sameOrigin) {
        source.referrer = ReferrerForm(source.page);
    } else if (source.origin.rfind("https:", 0) == 0 && target.rfind("https:", 0) != 0) {
        source.referrer.clear();  // never from a secure page to a plain one
    } else {
        source.referrer = source.origin + "/";
    }
    return source;
}

}  // namespace quillrun
