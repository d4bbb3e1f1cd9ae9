// The code detection and the converter on any text, with every output option: nothing breaks,
// and text that converts to whole UTF-8 characters and on to Shift_JIS survives the way back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/cp932.h"
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
    // A text the detector takes for UTF-8 is passed as it is, a character cut at its end
    // included (such a half character converts to nothing): the round trip holds for whole
    // characters only.
    if (IsValidUtf8(utf8) && DetectJapaneseCode(utf8) == JapaneseCode::Utf8 &&
        utf8.find('?') == std::string::npos) {
        std::string back = toSjis.Convert(utf8);
        // Read back as the Shift_JIS it is (a short text's code is a guess the detector may
        // make otherwise: two bytes of Shift_JIS kana are an EUC-JP kanji as well). Some
        // characters go one way only ("£" becomes the full-width "￡"), so what must hold is
        // that the Shift_JIS text survives its own round trip.
        std::string again = ConvertCharset("UTF-8", "CP932", back, "?");
        if (ConvertCharset("CP932", "UTF-8", again, "?") != back && back.find('?') == std::string::npos)
            std::abort();
    }
    return 0;
}
