#include "core/web/charset_converter.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

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
        score += length == 2 ? 3 : japanese ? 6 : 5;
        i += length;
    }
    return score;
}

// A half-width katakana byte after the byte before it. Alone it says little (every EUC-JP
// kanji reads as two of them); the marks that only half-width katakana words have (a voicing
// mark after a kana that takes it, a small kana or the long-vowel bar after a kana) say much.
long HalfWidthKanaWeight(unsigned char before, unsigned char c) {
    bool kanaBefore = before >= 0xB1 && before <= 0xDD;
    bool voiceable =
        (before >= 0xB6 && before <= 0xC4) || (before >= 0xCA && before <= 0xCE) || before == 0xB3;
    if (c == 0xDE && voiceable)
        return 4;
    if (c == 0xDF && before >= 0xCA && before <= 0xCE)
        return 4;
    auto among = [before](std::initializer_list<unsigned char> set) {
        for (unsigned char b : set) {
            if (b == before)
                return true;
        }
        return false;
    };
    // ｧｨｩｪｫ after the kana that loanwords put before each (ﾌｧ ﾃｨ ﾄｩ ｼｪ ﾌｫ; ﾃﾞｨ ｳﾞｧ).
    if ((c == 0xA7 && among({0xCC, 0xB8, 0xC2, 0xB3, 0xDE})) ||
        (c == 0xA8 && among({0xC3, 0xCC, 0xB3, 0xBD, 0xBC, 0xC1, 0xC2, 0xB8, 0xDE})) ||
        (c == 0xA9 && among({0xC4, 0xB3, 0xDE})) ||
        (c == 0xAA && among({0xBC, 0xC1, 0xCC, 0xB3, 0xB2, 0xC2, 0xDE})) ||
        (c == 0xAB && among({0xCC, 0xB3, 0xC2, 0xB8, 0xDE})))
        return 3;
    // ｬｭｮ after a kana of the i row (ｷｬ ｼｭ ﾁｮ ﾆｬ ﾋｭ ﾐｮ ﾘｬ, ﾃｭ ﾌｭ, ｷﾞｬ).
    if (c >= 0xAC && c <= 0xAE &&
        among({0xB7, 0xBC, 0xC1, 0xC6, 0xCB, 0xD0, 0xD8, 0xC3, 0xCC, 0xDE}))
        return 3;
    // ｯ and ｰ after any kana.
    if ((c == 0xAF || c == 0xB0) && kanaBefore)
        return 3;
    return 1;
}

long ShiftJisScore(std::string_view text) {
    long score = 0;
    std::size_t i = 0;
    unsigned char kanaBefore = 0;  // the character before, when it was a half-width katakana
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool kana = c >= 0xA1 && c <= 0xDF;
        if (kana)
            score += HalfWidthKanaWeight(kanaBefore, c);
        kanaBefore = kana ? c : 0;
        if (c < 0x80 || kana) {
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

// How much a valid EUC-JP character says for the code, by its row. Hiragana and katakana weigh
// most, then the first level of kanji (read as Shift_JIS, every such pair is two half-width
// katakana, which must not outweigh them); rows JIS X 0208 leaves empty count against it.
long EucJpPairWeight(unsigned char lead, std::size_t length) {
    if (length == 3 || lead == 0x8E)
        return 1;  // JIS X 0212 and half-width katakana: rare in EUC-JP texts
    if (lead == 0xA4 || lead == 0xA5)
        return 4;
    if (lead >= 0xB0 && lead <= 0xCF)
        return 3;
    if ((lead >= 0xA9 && lead <= 0xAC) || lead == 0xAE || lead == 0xAF ||
        (lead >= 0xF5 && lead <= 0xF8) || lead >= 0xFD)
        return kInvalid;
    return 2;
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
        score += EucJpPairWeight(c, length);
        i += length;
    }
    return score;
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

// A multi-byte character cut off at the very end (a response cut at the receive limit) is
// dropped rather than read as a wrong character.
std::string_view WithoutCutCharacter(JapaneseCode code, std::string_view text) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t n = text.size();
    if (n == 0)
        return text;
    switch (code) {
        case JapaneseCode::Utf8: {
            std::size_t k = 0;
            while (k < 3 && k < n && (at(n - 1 - k) & 0xC0) == 0x80)
                ++k;
            if (k < n) {
                unsigned char lead = at(n - 1 - k);
                std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (lead >= 0xC0 && k + 1 < length)
                    return text.substr(0, n - 1 - k);
            }
            return text;
        }
        case JapaneseCode::ShiftJis: {
            // Walk from the start: only there is it known which byte leads.
            std::size_t i = 0;
            while (i < n) {
                unsigned char c = at(i);
                bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
                if (lead && i + 1 == n)
                    return text.substr(0, i);
                i += lead ? 2 : 1;
            }
            return text;
        }
        case JapaneseCode::EucJp: {
            std::size_t i = 0;
            while (i < n) {
                unsigned char c = at(i);
                std::size_t length = c == 0x8F ? 3 : (c == 0x8E || c >= 0xA1) ? 2 : 1;
                if (i + length > n)
                    return text.substr(0, i);
                i += length;
            }
            return text;
        }
        default:
            return text;
    }
}

// JIS X 0208 row and cell (0x21-0x7E each) as the Shift_JIS pair of the same character.
void AppendAsShiftJis(std::string& out, unsigned char j1, unsigned char j2) {
    out += static_cast<char>((j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0));
    out += static_cast<char>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
}

// EUC-JP as Windows and nkf write it (CP51932) holds the IBM kanji of the NEC selection (髙 FC E2)
// in rows 89-92, which eucJP-ms keeps for users: those rows are read as Shift_JIS reads them.
std::string EucJpToUtf8(std::string_view text) {
    std::string out, run;
    bool runIsIbm = false;
    auto flush = [&] {
        if (!run.empty())
            out += ConvertCharset("UTF-8", runIsIbm ? "CP932" : "EUC-JP-MS", run, "?");
        run.clear();
    };
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned char t = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        bool ibm = c >= 0xF9 && c <= 0xFC && t >= 0xA1 && t <= 0xFE;
        if (ibm != runIsIbm) {
            flush();
            runIsIbm = ibm;
        }
        if (ibm) {
            AppendAsShiftJis(run, c - 0x80, t - 0x80);
            i += 2;
            continue;
        }
        std::size_t length = c == 0x8F ? 3 : (c == 0x8E || c >= 0xA1) ? 2 : 1;
        length = std::min(length, text.size() - i);
        run.append(text.substr(i, length));
        i += length;
    }
    flush();
    return out;
}

// ISO-2022-JP with the half-width katakana of JIS X 0201 (ESC ( I), which glibc's decoder passes
// through as a raw escape: those runs are read here, the rest by iconv.
std::string Iso2022JpToUtf8(std::string_view text) {
    std::string out;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        if (text.compare(i, 3, "\x1B(I") != 0) {
            ++i;
            continue;
        }
        out += ConvertCharset("UTF-8", "ISO-2022-JP", text.substr(start, i - start), "?");
        i += 3;
        while (i < text.size() && text[i] != '\x1B') {
            unsigned char b = static_cast<unsigned char>(text[i]);
            if (b >= 0x21 && b <= 0x5F) {
                AppendUtf8(out, 0xFF61 + (b - 0x21));
            } else {
                out += static_cast<char>(b);
            }
            ++i;
        }
        start = i;
    }
    out += ConvertCharset("UTF-8", "ISO-2022-JP", text.substr(start), "?");
    return out;
}

std::string ToUtf8(JapaneseCode from, std::string_view source) {
    source = WithoutCutCharacter(from, source);
    switch (from) {
        case JapaneseCode::EucJp:
            return EucJpToUtf8(source);
        case JapaneseCode::Iso2022Jp:
            return Iso2022JpToUtf8(source);
        case JapaneseCode::ShiftJis:
            return ConvertCharset("UTF-8", "CP932", source, "?");
        case JapaneseCode::Utf8:
        case JapaneseCode::Ascii:
            break;
    }
    return std::string(source);
}

bool OnlyHalfWidthKana(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80 && (c < 0xA1 || c > 0xDF))
            return false;
    }
    return true;
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
    // Equal evidence from half-width katakana alone: kanji-only EUC-JP (日本, 名前) is far more
    // common than a Shift_JIS text of nothing but half-width katakana.
    // (Not when EUC-JP would have to end in half a character: an odd run is katakana.)
    if (sjis == euc && OnlyHalfWidthKana(text) &&
        WithoutCutCharacter(JapaneseCode::EucJp, text).size() == text.size())
        return JapaneseCode::EucJp;
    return sjis >= euc ? JapaneseCode::ShiftJis : JapaneseCode::EucJp;
}

const char* IconvNameOf(JapaneseCode code) {
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
    std::string utf8 = ToUtf8(from, source);
    if (output_ == JapaneseCode::Utf8)
        return utf8;
    if (output_ == JapaneseCode::Iso2022Jp)
        utf8 = PrepareForJis(utf8);
    return ConvertCharset(IconvNameOf(output_), "UTF-8", utf8, "?");
}

}  // namespace quillrun
