// Any response stored as a cookie, and any cookie file: the Cookie header text built from the
// store never holds a control byte and stays within its width.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/replay/cookie_store.h"
#include "fuzz/fuzz_support.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string folder = fuzz::ProgramFolderWithCookies("cookie");
    auto [response, file] =
        fuzz::SplitAtMarker(std::string(reinterpret_cast<const char*>(data), size));

    RemoveFile(folder + "cookies/[h][@].cookie");
    RemoveFile(folder + "cookies/any.cookie");
    StoreResponseCookies(response, "h", "/");
    WriteWholeFile(folder + "cookies/any.cookie", file);
    std::string header = LookupCookies("h", "/", true);
    if (header.size() > 1023)
        std::abort();
    for (unsigned char c : header) {
        if (IsControlByte(c))
            std::abort();
    }
    return 0;
}
