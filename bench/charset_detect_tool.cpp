// Reads files named on the command line and prints, per file, the Japanese code that quillrun,
// uchardet and ICU each detect: "<file> <quillrun> <uchardet> <icu>", codes as sjis, euc, utf8,
// jis, ascii or other.
#include <uchardet.h>
#include <unicode/ucsdet.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/platform/cp932.h"
#include "core/web/charset_converter.h"

namespace {

// A library's charset name as one of the four codes.
std::string CodeOfName(const std::string& name) {
    std::string n = quillrun::AsciiLower(name);
    if (n.find("shift") != std::string::npos || n.find("sjis") != std::string::npos ||
        n == "windows-31j" || n == "cp932")
        return "sjis";
    if (n.find("euc") != std::string::npos)
        return "euc";
    if (n.find("utf-8") != std::string::npos || n == "utf8")
        return "utf8";
    if (n.find("2022") != std::string::npos)
        return "jis";
    if (n == "ascii" || n == "us-ascii")
        return "ascii";
    return "other";
}

std::string Quillrun(const std::string& text) {
    switch (quillrun::DetectJapaneseCode(text)) {
        case quillrun::JapaneseCode::ShiftJis:
            return "sjis";
        case quillrun::JapaneseCode::EucJp:
            return "euc";
        case quillrun::JapaneseCode::Utf8:
            return "utf8";
        case quillrun::JapaneseCode::Iso2022Jp:
            return "jis";
        case quillrun::JapaneseCode::Ascii:
            return "ascii";
    }
    return "other";
}

std::string Uchardet(const std::string& text) {
    uchardet_t ud = uchardet_new();
    uchardet_handle_data(ud, text.data(), text.size());
    uchardet_data_end(ud);
    std::string name = uchardet_get_charset(ud);
    uchardet_delete(ud);
    return CodeOfName(name);
}

std::string Icu(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&status);
    ucsdet_setText(detector, text.data(), static_cast<int32_t>(text.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector, &status);
    std::string name = match != nullptr && U_SUCCESS(status) ? ucsdet_getName(match, &status) : "";
    ucsdet_close(detector);
    return CodeOfName(name);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::printf("%s %s %s %s\n", argv[i], Quillrun(text).c_str(), Uchardet(text).c_str(),
                    Icu(text).c_str());
    }
    return 0;
}
