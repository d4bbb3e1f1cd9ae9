// SplitUrl: host and path come from the URL itself (the path may be a "/" added for a URL
// without one) and no index runs past its end.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/web/url_split.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string url(reinterpret_cast<const char*>(data), size > 259 ? 259 : size);
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        if (url.find("://") != std::string::npos)
            std::abort();
        return 0;
    }
    if (url.find(parts.host) == std::string::npos)
        std::abort();
    if (parts.path.empty())
        std::abort();
    if (url.find(parts.path) == std::string::npos && parts.path[0] != '/')
        std::abort();
    return 0;
}
