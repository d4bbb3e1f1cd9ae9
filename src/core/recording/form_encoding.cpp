#include "core/recording/form_encoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <random>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The encodings a Japanese site uses, by their web labels; other labels are tried with iconv.
std::string EncodingOfLabel(const std::string& label) {
    std::string l = Lower(label);
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
        std::string piece = utf8.substr(start, i - start);
        if (japanese && cp == 0x2212)
            piece = "\xEF\xBC\x8D";  // U+FF0D
        char buffer[16];
        char* src = piece.data();
        size_t srcLeft = piece.size();
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += "&#" + std::to_string(cp) + ";";
        } else {
            out.append(buffer, sizeof(buffer) - dstLeft);
        }
    }
    iconv_close(cd);
    return out;
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
    std::string enctype = Lower(form.enctype);
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
