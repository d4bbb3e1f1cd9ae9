// UrlEncode and UrlDecode: encoding writes only the characters it may write; decoding with no
// keep flags undoes encoding; with keep flags, encoding a decoded encoding changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/web/url_encoding.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    std::uint16_t keep = data[0] & 7;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    if (text.size() > 10000)
        text.resize(10000);

    std::string decodedInput = text;
    UrlDecode(decodedInput, keep);
    if (decodedInput.size() >= 30720)
        std::abort();

    std::string encoded = UrlEncode(text, 30720, keep);
    for (char c : encoded) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80 || u <= 0x20)
            std::abort();
    }
    char small[8];
    if (text.size() * 3 + 1 > sizeof(small) &&
        UrlEncode(text.c_str(), small, sizeof(small), keep) != 0) {
        std::abort();
    }
    if (keep == 0) {
        std::string back = encoded;
        UrlDecode(back, 0);
        if (back != text)
            std::abort();
    } else {
        std::string back = encoded;
        UrlDecode(back, keep);
        if (UrlEncode(back, 30720, keep) != encoded)
            std::abort();
    }
    std::string all = text;
    PercentEncodeAll(all);
    if (all.size() % 3 != 0 || all.size() > 30717)
        std::abort();
    return 0;
}
