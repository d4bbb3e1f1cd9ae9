#include "core/web/url_split.h"

#include <openssl/evp.h>

#include <vector>

#include "core/web/url_encoding.h"

namespace quillrun {

namespace {

// Where the authority's user information lies in the URL: [begin, at) before the "@" at `at`;
// false when there is none.
bool UserinfoSpan(const std::string& url, std::size_t& begin, std::size_t& at) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return false;
    begin = scheme + 3;
    std::size_t end = url.find_first_of("/?#", begin);
    at = url.rfind('@', end == std::string::npos ? std::string::npos : end - 1);
    return at != std::string::npos && at >= begin && (end == std::string::npos || at < end);
}

}  // namespace

std::string WithoutUserinfo(const std::string& url) {
    std::size_t begin = 0, at = 0;
    return UserinfoSpan(url, begin, at) ? url.substr(0, begin) + url.substr(at + 1) : url;
}

std::string BasicAuthorization(const std::string& userinfo) {
    std::string plain = userinfo;
    UrlDecode(plain, 0, false);
    std::vector<unsigned char> encoded(4 * ((plain.size() + 2) / 3) + 1);
    int length =
        EVP_EncodeBlock(encoded.data(), reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size()));
    return "Basic " + std::string(reinterpret_cast<const char*>(encoded.data()),
                                  static_cast<std::size_t>(length));
}

std::string MaskedUserinfo(const std::string& url) {
    std::size_t begin = 0, at = 0;
    if (!UserinfoSpan(url, begin, at))
        return url;
    std::size_t colon = url.find(':', begin);
    std::string user = url.substr(begin, (colon < at ? colon : at) - begin);
    return url.substr(0, begin) + user + (colon < at ? ":***" : "") + url.substr(at);
}

bool SplitUrl(const std::string& fullUrl, UrlParts& parts) {
    parts = UrlParts();
    std::size_t userBegin = 0, userAt = 0;
    std::string userinfo;
    if (UserinfoSpan(fullUrl, userBegin, userAt))
        userinfo = fullUrl.substr(userBegin, userAt - userBegin);
    const std::string url = WithoutUserinfo(fullUrl);
    std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos)
        return false;
    const std::size_t length = url.size();
    auto slash = [&url](std::size_t i) { return url[i] == '/'; };

    // One scan: each "//" moves the host start; the first single "/" ends the host.
    long hostStart = -1;
    long hostEnd = -1;
    for (std::size_t i = 1; i < length; ++i) {
        if (slash(i) && slash(i - 1))
            hostStart = static_cast<long>(i);
        if (slash(i) && !slash(i - 1) && (i == length - 1 || !slash(i + 1))) {
            hostEnd = static_cast<long>(i);
            break;
        }
    }

    if (hostEnd < 0) {
        // A scheme and a host only ("http://h", "http://h?q"): the host runs to the end, or to
        // the first "?" or "#", and the path is "/" (with that query).
        std::size_t begin = schemeEnd + 3;
        std::size_t stop = url.find_first_of("/?#", begin);
        if (stop == std::string::npos)
            stop = length;
        parts.host = url.substr(begin, stop - begin);
        parts.path = "/";
        if (stop < length && url[stop] != '/')
            parts.path += url.substr(stop);
        parts.userinfo = userinfo;
        return true;
    }
    if (hostEnd > hostStart) {
        parts.host = url.substr(static_cast<std::size_t>(hostStart + 1),
                                static_cast<std::size_t>(hostEnd - hostStart - 1));
    }

    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (slash(i) && !slash(i - 1) && !slash(i + 1)) {
            parts.path = url.substr(i);
            parts.userinfo = userinfo;
            return true;
        }
    }
    parts.path = "/";  // the URL ends with the "/" after the host
    parts.userinfo = userinfo;
    return true;
}

}  // namespace quillrun
