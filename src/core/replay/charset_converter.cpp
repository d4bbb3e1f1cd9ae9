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

// The code of a text is chosen by weighing the evidence for each: every character that reads
// validly in a code counts for it (kana and the common kanji more, as Japanese text is full of
// them), every byte that cannot be read counts heavily against it, and a character cut off at
// the very end (a response cut at the receive limit) counts neither way.
constexpr long kInvalid = -10;

long Utf8Score(std::string_view text) {
    long score = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        if (length == 0) {
            score += kInvalid;
            ++i;
            continue;
        }
        std::size_t k = 1;
        while (k < length && i + k < text.size() &&
               (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80) {
            ++k;
        }
        if (k < length) {
            if (i + k < text.size())
                score += kInvalid;  // cut short inside the text
            i += k;
            continue;
        }
        unsigned code = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t j = 1; j < length; ++j)
            code = (code << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
        bool japanese = (code >= 0x3000 && code <= 0x30FF) || (code >= 0x4E00 && code <= 0x9FFF) ||
                        (code >= 0xFF00 && code <= 0xFFEF);
        // Three valid bytes in a row are rare by chance in the other codes.
        score += japanese ? 4 : 2;
        i += length;
    }
    return score;
}

long ShiftJisScore(std::string_view text) {
    long score = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
        } else if (c >= 0xA1 && c <= 0xDF) {
            score += 1;  // half-width katakana
            ++i;
        } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            if (i + 1 >= text.size())
                break;  // a lead byte cut off at the end
            unsigned char t = static_cast<unsigned char>(text[i + 1]);
            if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) {
                score += (c == 0x82 || c == 0x83) ? 3 : 2;  // hiragana and katakana rows
                i += 2;
            } else {
                score += kInvalid;
                ++i;
            }
        } else {
            score += kInvalid;
            ++i;
        }
    }
    return score;
}

long EucJpScore(std::string_view text) {
    long score = 0;
    std::size_t i = 0;
    auto high = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = high(c) ? 2 : c == 0x8E ? 2 : c == 0x8F ? 3 : 0;
        if (length == 0) {
            score += kInvalid;
            ++i;
            continue;
        }
        if (i + length > text.size())
            break;  // cut off at the end
        bool valid = true;
        for (std::size_t j = 1; j < length; ++j)
            valid = valid && high(static_cast<unsigned char>(text[i + j]));
        if (c == 0x8E)
            valid = valid && static_cast<unsigned char>(text[i + 1]) <= 0xDF;
        if (!valid) {
            score += kInvalid;
            ++i;
            continue;
        }
        // Hiragana and katakana rows weigh most: read as Shift_JIS, every EUC-JP pair is two
        // plausible half-width katakana, which must not outweigh them.
        score += c == 0x8F ? 1 : (c == 0xA4 || c == 0xA5) ? 4 : 2;
        i += length;
    }
    return score;
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
    if (IsAscii(text))
        return HasJisEscape(text) ? JapaneseCode::Iso2022Jp : JapaneseCode::Ascii;
    // On equal evidence UTF-8 goes first, then Shift_JIS, the program's own code.
    long utf8 = Utf8Score(text);
    long sjis = ShiftJisScore(text);
    long euc = EucJpScore(text);
    if (utf8 >= sjis && utf8 >= euc)
        return JapaneseCode::Utf8;
    return sjis >= euc ? JapaneseCode::ShiftJis : JapaneseCode::EucJp;
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
