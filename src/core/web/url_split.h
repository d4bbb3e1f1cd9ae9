// core/web: what recording and replay both speak: URLs (split, endpoint, percent-encoding),
// form bodies, character codes and HTTP responses. Depends only on platform.
//
// Host and path of a recorded URL, as the socket sender addresses its requests.
#pragma once

#include <string>

namespace quillrun {

struct UrlParts {
    std::string host;  // between "//" and the first single "/"; a port stays part of it
    std::string path;  // from that "/" to the end, query included; "/" when there is none
};

// False when the URL holds no "://". A URL with a host and no path gets path "/".
bool SplitUrl(const std::string& url, UrlParts& parts);

}  // namespace quillrun
