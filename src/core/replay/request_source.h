// Where a replayed request comes from: the page shown before the row (or the frame of it that
// is of the row's origin), and the Origin and Referer that page would send with it, as a
// browser's default referrer policy (strict-origin-when-cross-origin) has them.
#pragma once

#include <string>
#include <vector>

namespace quillrun {

// "scheme://host[:port]" of an http(s) address, scheme and host in lower case and the default
// port left out; "null" for anything else.
std::string OriginOf(const std::string& url);

struct RequestSource {
    std::string page;         // the page or frame the row is sent from
    std::string origin;       // its origin ("null" when it has none)
    std::string referrer;     // empty: none goes
    bool sameOrigin = false;  // the page is of the row's origin
    bool fromFrame = false;   // a frame of the page shown, not the page itself
};

// The source of a request to `rowUrl` sent from the page shown at `pageUrl` with its frames at
// `frameUrls`: a frame of the row's origin when the page is not, else the page.
RequestSource SourceOfRow(const std::string& rowUrl, const std::string& pageUrl,
                          const std::vector<std::string>& frameUrls);

}  // namespace quillrun
