#include "core/web/url_encoding.h"

#include <cstring>

namespace quillrun {

const char kMultipartMarker[] = "%66%6F%72%6D%2D%64%61%74%61";

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    const char* p = std::strchr(kHex, c);
    return (p != nullptr && c != '\0') ? static_cast<int>(p - kHex) : 0;
}

bool IsKeptAsIs(unsigned char c) {
    return (c >= '@' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
           c == '-' || c == '.' || c == '_';
}

bool IsKeptDelimiter(char c, std::uint16_t keep) {
    return (c == '&' && (keep & kKeepAmpersand)) || (c == '?' && (keep & kKeepQuestion)) ||
           (c == '=' && (keep & kKeepEquals));
}

void AppendEscaped(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

std::string EncodeText(std::string_view source, std::uint16_t keep) {
    std::string out;
    out.reserve(source.size() * 3);
    for (std::size_t i = 0; i < source.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(source[i]);
        if (c == ' ') {
            out += '+';
        } else if (IsKeptAsIs(c)) {
            out += static_cast<char>(c);
        } else if (IsKeptDelimiter(static_cast<char>(c), keep)) {
            std::size_t slashes = 0;
            while (slashes < i && source[i - 1 - slashes] == '/')
                ++slashes;
            if (slashes % 2 == 1) {
                AppendEscaped(out, c);
            } else {
                out += static_cast<char>(c);
            }
        } else if (c == '/' && keep != 0) {
            std::size_t run = 1;
            while (run <= i && source[i - run] == '/')
                ++run;
            if (run % 2 == 0)
                AppendEscaped(out, c);
        } else {
            AppendEscaped(out, c);
        }
    }
    return out;
}

}  // namespace

std::string MultipartBoundary(const std::string& body) {
    if (body.compare(0, 2, "--") != 0)
        return std::string();
    std::size_t end = body.find_first_of("\r\n");
    return body.substr(2, (end == std::string::npos ? body.size() : end) - 2);
}

unsigned char HexPairToByte(char high, char low) {
    return static_cast<unsigned char>(HexValue(high) * 16 + HexValue(low));
}

int UrlEncode(const char* source, char* dest, std::size_t destSize, std::uint16_t keep) {
    std::size_t length = std::strlen(source);
    if (length == 0 || destSize < 3 * length + 1)
        return 0;
    std::string out = EncodeText(std::string_view(source, length), keep);
    std::memcpy(dest, out.data(), out.size());
    dest[out.size()] = '\0';
    return static_cast<int>(out.size());
}

std::string UrlEncode(std::string_view source, std::size_t width, std::uint16_t keep) {
    std::size_t zero = source.find('\0');
    if (zero != std::string_view::npos)
        source = source.substr(0, zero);
    if (source.empty() || width < 3 * source.size() + 1)
        return std::string();
    return EncodeText(source, keep);
}

void UrlDecode(std::string& text, std::uint16_t keep, bool keepZeroBytes) {
    if (!keepZeroBytes) {
        std::size_t zero = text.find('\0');
        if (zero != std::string::npos)
            text.resize(zero);
    }
    std::string out;
    out.reserve(text.size());
    const std::size_t limit = kDataWidth - 1;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && out.size() < limit) {
        std::string_view rest(text.data() + i, n - i);
        bool three = rest.size() >= 3;
        if (three && (keep & kKeepAmpersand) && rest.substr(0, 3) == "%26") {
            out += "/&";
            i += 3;
        } else if (three && (keep & kKeepQuestion) && rest.substr(0, 3) == "%3F") {
            out += "/?";
            i += 3;
        } else if (three && (keep & kKeepEquals) && rest.substr(0, 3) == "%3D") {
            out += "/=";
            i += 3;
        } else if (three && keep != 0 && rest.substr(0, 3) == "%2F") {
            out += "//";
            i += 3;
        } else if (rest[0] == '%' && three) {
            unsigned char byte = HexPairToByte(rest[1], rest[2]);
            if (byte == 0 && !keepZeroBytes)
                break;
            out += static_cast<char>(byte);
            i += 3;
        } else if (rest[0] == '+') {
            out += ' ';
            ++i;
        } else {
            out += rest[0];
            ++i;
        }
    }
    if (out.size() > limit)
        out.resize(limit);
    text = std::move(out);
}

bool PercentEncodeAll(std::string& text) {
    const std::size_t maxBytes = (kDataWidth - 1) / 3;
    bool whole = text.size() <= maxBytes;
    std::string out;
    out.reserve(std::min(text.size(), maxBytes) * 3);
    for (std::size_t i = 0; i < text.size() && i < maxBytes; ++i) {
        AppendEscaped(out, static_cast<unsigned char>(text[i]));
    }
    text = std::move(out);
    return whole;
}

}  // namespace quillrun
