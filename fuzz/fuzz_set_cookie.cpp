// Any response's Set-Cookie headers: each cookie read keeps within its width, carries no control
// byte and no separator a Cookie header would split at, and attributes are never cookies.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/platform/cp932.h"
#include "core/replay/cookie_rules.h"
#include "core/replay/cookie_store.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string headers(reinterpret_cast<const char*>(data), size);
    std::string response = "HTTP/1.0 200 OK\r\n" + headers + "\r\n\r\nSet-Cookie: body=no\r\n";
    std::vector<SetCookie> cookies = ParseSetCookies(response);
    // The body holds no headers: without it, the same cookies.
    if (ParseSetCookies("HTTP/1.0 200 OK\r\n" + headers + "\r\n\r\n").size() != cookies.size())
        std::abort();
    for (const SetCookie& cookie : cookies) {
        if (cookie.name.size() + cookie.value.size() > 997)
            std::abort();
        if (HoldsControlByte(cookie.name) || HoldsControlByte(cookie.value) ||
            cookie.name.find(';') != std::string::npos ||
            cookie.value.find(';') != std::string::npos)
            std::abort();
        if (!cookie.domain.empty() && cookie.domain[0] == '.')
            std::abort();
    }
    std::time_t when = 0;
    ParseCookieDate(headers.substr(0, 200), when);
    DefaultCookiePath(headers.substr(0, 300));
    HostInCookieDomain("www.example.co.jp", headers.substr(0, 100));
    return 0;
}
