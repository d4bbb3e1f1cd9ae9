// ParseSetCookies on any response, then the cookie file names built from their domains and paths:
// outputs stay within their widths and the name never leaves the cookies folder.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/paths.h"
#include "core/replay/cookie_store.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool once = [] {
        SetProgramFolder("/nonexistent-quillrun/");
        return true;
    }();
    (void)once;
    std::string response(reinterpret_cast<const char*>(data), size > 10240 ? 10240 : size);
    for (const SetCookie& cookie : ParseSetCookies(response)) {
        if (cookie.name.size() + cookie.value.size() > 997 || cookie.domain.size() > 194 ||
            cookie.path.size() > 196)
            std::abort();
        std::string name = CookieFilePath(cookie.domain, cookie.path, cookie.secure);
        const std::string folder = "/nonexistent-quillrun/cookies/";
        if (name.compare(0, folder.size(), folder) != 0)
            std::abort();
        std::string rest = name.substr(folder.size());
        if (rest.find('/') != std::string::npos || rest.find('\\') != std::string::npos)
            std::abort();
        if (rest.empty() || rest[0] != '[')
            std::abort();
        // Exactly the four brackets that delimit domain and path (six with the Secure mark).
        int brackets = 0;
        for (char c : rest)
            brackets += (c == '[' || c == ']') ? 1 : 0;
        if (brackets != (cookie.secure ? 6 : 4))
            std::abort();
    }
    return 0;
}
