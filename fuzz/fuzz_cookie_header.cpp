// Any response stored as a cookie, and any cookie file: the Cookie header text built from the
// store never holds a control byte and stays within its width.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/replay/cookie_store.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder = [] {
        char pattern[] = "/tmp/quillrun-fuzz-cookie-XXXXXX";
        std::string dir = std::string(mkdtemp(pattern)) + "/";
        ::mkdir((dir + "cookies").c_str(), 0700);
        SetProgramFolder(dir);
        return dir;
    }();
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\x01');
    std::string response = input.substr(0, split);
    std::string file = split == std::string::npos ? std::string() : input.substr(split + 1);

    RemoveFile(folder + "cookies/[h][@].cookie");
    RemoveFile(folder + "cookies/any.cookie");
    std::string cookie, domain, path;
    ParseSetCookie(response, cookie, domain, path);
    SaveCookieFile(cookie, CookieFilePath("h", "/"));
    WriteWholeFile(folder + "cookies/any.cookie", file);
    std::string header = LookupCookies("h", "/");
    if (header.size() > 1023)
        std::abort();
    for (unsigned char c : header) {
        if (c < 0x20 || c == 0x7F)
            std::abort();
    }
    return 0;
}
