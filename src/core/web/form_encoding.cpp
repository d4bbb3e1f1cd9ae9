#include "core/web/form_encoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <map>
#include <random>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

// The encodings a Japanese site uses, by their web labels; other labels are tried with iconv.
std::string EncodingOfLabel(const std::string& label) {
    std::string l = AsciiLower(label);
    if (l.empty())
        return std::string();
    for (const char* u : {"utf-8", "utf8", "unicode-1-1-utf-8", "utf-16", "utf-16le", "utf-16be"}) {
        if (l == u)
            return "UTF-8";
    }
    for (const char* s : {"shift_jis", "shift-jis", "sjis", "ms_kanji", "csshiftjis", "windows-31j",
                          "x-sjis", "ms932", "cp932"}) {
        if (l == s)
            return "CP932";
    }
    for (const char* e : {"euc-jp", "cseucpkdfmtjapanese", "x-euc-jp"}) {
        if (l == e)
            return "EUC-JP-MS";
    }
    for (const char* j : {"iso-2022-jp", "csiso2022jp"}) {
        if (l == j)
            return "ISO-2022-JP";
    }
    iconv_t cd = iconv_open(label.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string();
    iconv_close(cd);
    return label;
}

// Reads one code point of UTF-8 at i; advances i.
std::uint32_t NextCodePoint(const std::string& s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + len > s.size())
        len = s.size() - i;
    std::uint32_t cp = len == 1 ? c : c & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k)
        cp = (cp << 6) | (s[i + k] & 0x3F);
    i += len;
    return cp;
}

std::string NormalizeNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string EscapeMultipartName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '"') {
            out += "%22";
        } else if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string FormEncodingName(const std::string& acceptCharset, const std::string& documentCharset) {
    std::string token;
    for (std::size_t i = 0; i <= acceptCharset.size(); ++i) {
        char c = i < acceptCharset.size() ? acceptCharset[i] : ' ';
        if (c == ' ' || c == ',' || c == '\t') {
            std::string name = EncodingOfLabel(token);
            if (!name.empty())
                return name;
            token.clear();
        } else {
            token += c;
        }
    }
    std::string name = EncodingOfLabel(documentCharset);
    return name.empty() ? "UTF-8" : name;
}

namespace {

// The engine's EUC-JP encoder writes the IBM kanji of the NEC selection (髙 﨑) in rows 89-92
// (F9A1-FCFE), where eucJP-ms has them in JIS X 0212's three-byte area: the characters of those
// rows, read from CP932's ED40-EEFC.
const std::map<std::uint32_t, std::string>& NecSelectedIbmRows() {
    static const std::map<std::uint32_t, std::string> rows = [] {
        std::map<std::uint32_t, std::string> map;
        for (int lead = 0xED; lead <= 0xEE; ++lead) {
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
                std::string utf8 = ConvertCharset("UTF-8", "CP932", sjis, "");
                if (utf8.empty())
                    continue;
                std::size_t i = 0;
                std::uint32_t cp = NextCodePoint(utf8, i);
                // Shift_JIS pair to JIS row and cell, then EUC-JP.
                int s1 = lead, s2 = trail;
                int row = (s1 - (s1 >= 0xE0 ? 0xB0 : 0x70)) * 2 - (s2 < 0x9F ? 1 : 0);
                int cell = s2 < 0x9F ? s2 - (s2 >= 0x80 ? 0x20 : 0x1F) : s2 - 0x7E;
                map.emplace(
                    cp, std::string{static_cast<char>(row + 0x80), static_cast<char>(cell + 0x80)});
            }
        }
        return map;
    }();
    return rows;
}

// Ideographs that the engine's Shift_JIS encoder writes with the code of their JIS X 0208
// form (俠 as 侠's 8BA0), which the Windows table lacks; taken from the engine itself (every
// character of the Japanese character sets compared, in a test of the program).
const std::map<std::uint32_t, std::string>& EngineShiftJisAdditions() {
    static const std::map<std::uint32_t, std::string> additions{
        {0x4FE0, "\x8B\xA0"}, {0x555E, "\x88\xA0"}, {0x5699, "\x8A\x9A"}, {0x56CA, "\x94\x58"},
        {0x5861, "\x93\x55"}, {0x5C62, "\x8E\xC6"}, {0x6414, "\x91\x7E"}, {0x6451, "\x92\xCD"},
        {0x6522, "\x9D\xB7"}, {0x6F51, "\x94\xAC"}, {0x7006, "\x93\xC0"}, {0x7130, "\x89\x8B"},
        {0x7626, "\x91\x89"}, {0x79B1, "\x93\x98"}, {0x7E61, "\x8F\x4A"}, {0x7E6B, "\x8C\x71"},
        {0x840A, "\x97\x89"}, {0x8523, "\x8F\xD3"}, {0x881F, "\x98\x58"}, {0x8EC0, "\x8B\xEB"},
        {0x91AC, "\x8F\xDD"}, {0x91B1, "\x94\xAE"}, {0x9830, "\x96\x6A"}, {0x985A, "\x93\x5E"},
        {0x9DD7, "\x89\xA8"}, {0x9E7C, "\x8C\xB2"}, {0x9EB4, "\x8D\x8D"}, {0x9EB5, "\x96\xCB"}};
    return additions;
}

}  // namespace

std::string EncodeFormText(const std::string& utf8, const std::string& encodingName) {
    if (encodingName == "UTF-8")
        return utf8;
    if (encodingName == "ISO-2022-JP")
        return ConvertCharset("ISO-2022-JP", "UTF-8", utf8, "?");
    iconv_t cd = iconv_open(encodingName.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return utf8;
    const bool japanese = encodingName == "CP932" || encodingName == "EUC-JP-MS";
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t start = i;
        std::uint32_t cp = NextCodePoint(utf8, i);
        // The web's Shift_JIS and EUC-JP encoders differ from the Windows tables here.
        if (japanese && cp == 0x00A5) {
            out += '\x5C';
            continue;
        }
        if (japanese && cp == 0x203E) {
            out += '\x7E';
            continue;
        }
        // The engine's Shift_JIS has no ¢ £ ¬ (the Windows table maps them to full-width
        // forms): they go as numeric references; ¦ goes as the full-width broken bar.
        if (encodingName == "CP932" && (cp == 0x00A2 || cp == 0x00A3 || cp == 0x00AC)) {
            out += "&#" + std::to_string(cp) + ";";
            continue;
        }
        std::string piece = utf8.substr(start, i - start);
        if (japanese && cp == 0x2212)
            piece = "\xEF\xBC\x8D";  // U+FF0D
        if (japanese && cp == 0x00A6)
            piece = "\xEF\xBF\xA4";  // U+FFE4

        char buffer[16];
        char* src = piece.data();
        size_t srcLeft = piece.size();
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            auto added = encodingName == "CP932" ? EngineShiftJisAdditions().find(cp)
                                                 : EngineShiftJisAdditions().end();
            if (added != EngineShiftJisAdditions().end())
                out += added->second;
            else
                out += "&#" + std::to_string(cp) + ";";
        } else if (encodingName == "EUC-JP-MS" && buffer[0] == '\x8F' &&
                   NecSelectedIbmRows().count(cp == 0x00A6 ? 0xFFE4 : cp) != 0) {
            // Not in JIS X 0208 proper (eucJP-ms's three bytes): the engine's rows 89-92.
            out += NecSelectedIbmRows().at(cp == 0x00A6 ? 0xFFE4 : cp);
        } else {
            out.append(buffer, sizeof(buffer) - dstLeft);
        }
    }
    iconv_close(cd);
    return out;
}

void AppendUrlEncoded(std::string& out, const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

std::vector<std::string> UrlencodedPairs(const std::string& text) {
    std::vector<std::string> pairs;
    std::size_t start = 0;
    for (std::size_t end = text.find('&'); end != std::string::npos; end = text.find('&', start)) {
        pairs.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    pairs.push_back(text.substr(start));
    return pairs;
}

std::string JoinUrlencodedPairs(const std::vector<std::string>& pairs) {
    std::string text;
    for (std::size_t k = 0; k < pairs.size(); ++k)
        text += (k == 0 ? "" : "&") + pairs[k];
    return text;
}

std::string MakeFormBoundary() {
    static const char kAlphaNumeric[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::mt19937 random(device());
    std::uniform_int_distribution<int> pick(0, 61);
    std::string boundary = "----WebKitFormBoundary";
    for (int i = 0; i < 16; ++i)
        boundary += kAlphaNumeric[pick(random)];
    return boundary;
}

std::string EncodeFormBody(const FormSubmission& form, const std::string& boundary) {
    std::string encoding = FormEncodingName(form.acceptCharset, form.documentCharset);
    // Line breaks are ASCII in every charset a form is sent in, so they are made CR LF after
    // encoding as well as before.
    auto nameOf = [&encoding](const FormEntry& e) {
        return e.engineEncoded ? NormalizeNewlines(e.encodedName)
                               : EncodeFormText(NormalizeNewlines(e.name), encoding);
    };
    auto valueOf = [&encoding](const FormEntry& e) {
        if (e.isFile)
            return EncodeFormText(NormalizeNewlines(e.fileName), encoding);
        return e.engineEncoded ? NormalizeNewlines(e.encodedValue)
                               : EncodeFormText(NormalizeNewlines(e.value), encoding);
    };
    std::string enctype = AsciiLower(form.enctype);
    std::string body;
    if (enctype == "multipart/form-data") {
        for (const FormEntry& e : form.entries) {
            body += "--" + boundary + "\r\n";
            body +=
                "Content-Disposition: form-data; name=\"" + EscapeMultipartName(nameOf(e)) + "\"";
            if (e.isFile) {
                body += "; filename=\"" +
                        EscapeMultipartName(EncodeFormText(e.fileName, encoding)) +
                        "\"\r\nContent-Type: " +
                        (e.contentType.empty() ? std::string("application/octet-stream")
                                               : e.contentType);
                body += "\r\n\r\n" + e.value + "\r\n";
            } else {
                body += "\r\n\r\n" + valueOf(e) + "\r\n";
            }
        }
        body += "--" + boundary + "--\r\n";
        return body;
    }
    if (enctype == "text/plain") {
        for (const FormEntry& e : form.entries) {
            body += nameOf(e) + "=" + valueOf(e) + "\r\n";
        }
        // An event's data never holds a tab or a line break: they would end its field or its
        // line in the event file, and every later event would be lost on loading.
        std::string stored;
        for (char c : body) {
            if (c == '\t')
                stored += "%09";
            else if (c == '\r')
                stored += "%0D";
            else if (c == '\n')
                stored += "%0A";
            else
                stored += c;
        }
        return stored;
    }
    for (std::size_t k = 0; k < form.entries.size(); ++k) {
        const FormEntry& e = form.entries[k];
        if (k > 0)
            body += '&';
        AppendUrlEncoded(body, nameOf(e));
        body += '=';
        AppendUrlEncoded(body, valueOf(e));
    }
    return body;
}

}  // namespace quillrun
