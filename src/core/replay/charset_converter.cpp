#include "core/replay/charset_converter.h"

#include <cstdint>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

bool IsAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

bool HasJisEscape(std::string_view text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] != '\x1B')
            continue;
        char a = text[i + 1], b = text[i + 2];
        if ((a == '$' && (b == 'B' || b == '@' || b == '(')) ||
            (a == '(' && (b == 'B' || b == 'J' || b == 'I'))) {
            return true;
        }
    }
    return false;
}

bool IsValidUtf8(std::string_view text, bool& hasJapanese) {
    hasJapanese = false;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        if (cp >= 0x3000 && cp <= 0x9FFF)
            hasJapanese = true;
        if (cp >= 0xFF00 && cp <= 0xFFEF)
            hasJapanese = true;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool IsValidShiftJis(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF))
            continue;
        if (!IsSjisLeadByte(c) || i + 1 >= text.size())
            return false;
        unsigned char t = static_cast<unsigned char>(text[++i]);
        if (t < 0x40 || t == 0x7F || t > 0xFC)
            return false;
    }
    return true;
}

bool IsEucByte(unsigned char c) {
    return c >= 0xA1 && c <= 0xFE;
}

bool IsValidEucJp(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            continue;
        auto at = [&](std::size_t k) -> unsigned char {
            return k < text.size() ? static_cast<unsigned char>(text[k]) : 0;
        };
        if (c == 0x8E) {  // half-width katakana
            unsigned char t = at(i + 1);
            if (t < 0xA1 || t > 0xDF)
                return false;
            ++i;
        } else if (c == 0x8F) {  // JIS X 0212
            if (!IsEucByte(at(i + 1)) || !IsEucByte(at(i + 2)))
                return false;
            i += 2;
        } else if (IsEucByte(c)) {
            if (!IsEucByte(at(i + 1)))
                return false;
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// Shift_JIS uses the bytes 0x80-0xA0 as lead bytes all the time (kana, most kanji); EUC-JP only
// uses 0x8E and 0x8F there.
bool HasShiftJisOnlyBytes(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80 && c <= 0xA0 && c != 0x8E && c != 0x8F)
            return true;
    }
    return false;
}

const char* IconvName(JapaneseCode code) {
    switch (code) {
        case JapaneseCode::ShiftJis:
            return "CP932";
        case JapaneseCode::EucJp:
            return "EUC-JP-MS";
        case JapaneseCode::Iso2022Jp:
            return "ISO-2022-JP";
        case JapaneseCode::Utf8:
        case JapaneseCode::Ascii:
            break;
    }
    return "UTF-8";
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// ISO-2022-JP holds JIS X 0208 only: the Windows variants of a few symbols become their JIS
// code points, and half-width katakana become full-width ones.
std::string PrepareForJis(const std::string& utf8) {
    static const char32_t kFullWidthKana[] =
        U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
        U"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (i + len > utf8.size())
            len = utf8.size() - i;
        std::uint32_t cp = len == 1 ? c : c & (0xFF >> (len + 1));
        for (std::size_t k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        switch (cp) {
            case 0xFF5E:
                cp = 0x301C;
                break;  // wave dash
            case 0x2225:
                cp = 0x2016;
                break;  // double vertical line
            case 0xFF0D:
                cp = 0x2212;
                break;  // minus sign
            case 0xFFE0:
                cp = 0x00A2;
                break;  // cent sign
            case 0xFFE1:
                cp = 0x00A3;
                break;  // pound sign
            case 0xFFE2:
                cp = 0x00AC;
                break;  // not sign
            default:
                if (cp >= 0xFF61 && cp <= 0xFF9F)
                    cp = kFullWidthKana[cp - 0xFF61];
                break;
        }
        AppendUtf8(out, cp);
        i += len;
    }
    return out;
}

}  // namespace

JapaneseCode DetectJapaneseCode(std::string_view text) {
    bool ascii = IsAscii(text);
    if (ascii)
        return HasJisEscape(text) ? JapaneseCode::Iso2022Jp : JapaneseCode::Ascii;

    bool utf8Japanese = false;
    bool utf8 = IsValidUtf8(text, utf8Japanese);
    bool sjis = IsValidShiftJis(text);
    bool euc = IsValidEucJp(text);
    if (utf8 && (utf8Japanese || (!sjis && !euc)))
        return JapaneseCode::Utf8;
    if (sjis && euc)
        return HasShiftJisOnlyBytes(text) ? JapaneseCode::ShiftJis : JapaneseCode::EucJp;
    if (sjis)
        return JapaneseCode::ShiftJis;
    if (euc)
        return JapaneseCode::EucJp;
    if (utf8)
        return JapaneseCode::Utf8;
    return HasShiftJisOnlyBytes(text) ? JapaneseCode::ShiftJis : JapaneseCode::EucJp;
}

void CharsetConverter::SetOption(std::string_view option) {
    while (!option.empty() && option.front() == '-')
        option.remove_prefix(1);
    if (option.empty())
        return;
    switch (option.front()) {
        case 's':
            output_ = JapaneseCode::ShiftJis;
            break;
        case 'e':
            output_ = JapaneseCode::EucJp;
            break;
        case 'w':
            output_ = JapaneseCode::Utf8;
            break;
        case 'j':
            output_ = JapaneseCode::Iso2022Jp;
            break;
        default:
            break;
    }
}

std::string CharsetConverter::Convert(std::string_view source) const {
    JapaneseCode from = DetectJapaneseCode(source);
    if (from == JapaneseCode::Ascii || from == output_)
        return std::string(source);
    std::string utf8 = from == JapaneseCode::Utf8
                           ? std::string(source)
                           : ConvertCharset("UTF-8", IconvName(from), source, "?");
    if (output_ == JapaneseCode::Utf8)
        return utf8;
    if (output_ == JapaneseCode::Iso2022Jp)
        utf8 = PrepareForJis(utf8);
    return ConvertCharset(IconvName(output_), "UTF-8", utf8, "?");
}

}  // namespace quillrun
