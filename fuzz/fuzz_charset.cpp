// The code detection and the converter on any text, with every output option: nothing breaks,
// and Shift_JIS that converts to UTF-8 and back gives the same characters.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/web/charset_converter.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size > 4096 ? 4096 : size);
    DetectJapaneseCode(text);
    for (const char* option : {"s", "e", "w", "j", "-e", "x"}) {
        CharsetConverter c;
        c.SetOption(option);
        c.Convert(text);
    }
    CharsetConverter toUtf8, toSjis;
    toUtf8.SetOption("w");
    toSjis.SetOption("s");
    std::string utf8 = toUtf8.Convert(text);
    if (DetectJapaneseCode(utf8) == JapaneseCode::Utf8 && utf8.find('?') == std::string::npos) {
        std::string back = toSjis.Convert(utf8);
        if (toUtf8.Convert(back) != utf8 && back.find('?') == std::string::npos)
            std::abort();
    }
    return 0;
}
