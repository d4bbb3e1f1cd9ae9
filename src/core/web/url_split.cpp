#include "core/web/url_split.h"

namespace quillrun {

bool SplitUrl(const std::string& url, UrlParts& parts) {
    parts = UrlParts();
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
        return true;
    }
    if (hostEnd > hostStart) {
        parts.host = url.substr(static_cast<std::size_t>(hostStart + 1),
                                static_cast<std::size_t>(hostEnd - hostStart - 1));
    }

    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (slash(i) && !slash(i - 1) && !slash(i + 1)) {
            parts.path = url.substr(i);
            return true;
        }
    }
    parts.path = "/";  // the URL ends with the "/" after the host
    return true;
}

}  // namespace quillrun
