#include "core/platform/cp932.h"

#include <errno.h>
#include <iconv.h>

#include <cstring>

namespace quillrun {
namespace {

// Bytes of the character that starts at src: UTF-8 and Shift_JIS sequences are skipped whole.
std::size_t InputCharacterLength(const char* from, const char* src, std::size_t left) {
    unsigned char c = static_cast<unsigned char>(src[0]);
    std::size_t n = 1;
    if (std::strcmp(from, "UTF-8") == 0) {
        while (n < left && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80 && n < 4)
            ++n;
    } else if (std::strcmp(from, "CP932") == 0 && IsSjisLeadByte(c) && left >= 2) {
        n = 2;
    }
    return n;
}

}  // namespace

std::string ConvertCharset(const char* to, const char* from, std::string_view in,
                           std::string_view replacement) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: skip the input character, close any shift state of the output
        // (so the replacement reads as ASCII), emit the replacement.
        std::size_t skip = InputCharacterLength(from, src, srcLeft);
        src += skip;
        srcLeft -= skip;
        if (out.size() - used < replacement.size() + 16)
            out.resize(out.size() * 2 + 32);
        dst = out.data() + used;
        dstLeft = out.size() - used;
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        used = out.size() - dstLeft;
        std::memcpy(out.data() + used, replacement.data(), replacement.size());
        used += replacement.size();
    }
    for (;;) {  // close a shift state (ISO-2022-JP ends in ASCII)
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t r = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1) || errno != E2BIG)
            break;
        out.resize(out.size() * 2);
    }
    iconv_close(cd);
    out.resize(used);
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    return ConvertCharset("UTF-8", "CP932", cp932, "\xEF\xBF\xBD");
}

std::string Utf8ToCp932(std::string_view utf8) {
    return ConvertCharset("CP932", "UTF-8", utf8, "?");
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                 ? 1
                             : c >= 0xC2 && c <= 0xDF ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string CutToWidth(std::string_view text, std::size_t width) {
    if (width == 0)
        return std::string();
    std::size_t limit = width - 1;
    if (text.size() <= limit)
        return std::string(text);
    std::size_t i = 0;
    while (i < limit) {
        std::size_t step = IsSjisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return std::string(text.substr(0, i));
}

void CopyToBuffer(char* out, std::size_t size, std::string_view text) {
    if (size == 0)
        return;
    std::string cut = CutToWidth(text, size);
    std::memcpy(out, cut.data(), cut.size());
    out[cut.size()] = '\0';
}

std::string EscapedControlBytes(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (IsControlByte(c)) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace quillrun
