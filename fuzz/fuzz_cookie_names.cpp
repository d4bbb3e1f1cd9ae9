// ParseSetCookie on any response, then the cookie file name built from its domain and path:
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
    std::string cookie, domain, path;
    ParseSetCookie(response, cookie, domain, path);
    if (cookie.size() > 997 || domain.size() > 194 || path.size() > 196)
        std::abort();
    std::string name = CookieFilePath(domain, path);
    const std::string folder = "/nonexistent-quillrun/cookies/";
    if (name.compare(0, folder.size(), folder) != 0)
        std::abort();
    std::string rest = name.substr(folder.size());
    if (rest.find('/') != std::string::npos || rest.find('\\') != std::string::npos)
        std::abort();
    if (rest.empty() || rest[0] != '[')
        std::abort();
    // Exactly the four brackets that delimit domain and path.
    int brackets = 0;
    for (char c : rest)
        brackets += (c == '[' || c == ']') ? 1 : 0;
    if (brackets != 4)
        std::abort();
    return 0;
}
