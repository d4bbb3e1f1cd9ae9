// Shift_JIS (code page 932) text helpers. The program keeps its texts as CP932 bytes in
// std::string; these are the only conversions to and from UTF-8, used at the edges (file
// system, widgets, browser) and for the Japanese literals of the sources.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillrun {

// A byte 0x81-0x9F or 0xE0-0xFC starts a two-byte character.
inline bool IsSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// A byte that can follow a lead byte in a double-byte character.
inline bool IsSjisTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// A control byte (below 0x20, or DEL): none may reach a request line or header.
inline bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}
inline bool HoldsControlByte(std::string_view text) {
    for (unsigned char c : text) {
        if (IsControlByte(c))
            return true;
    }
    return false;
}

// The text with each control byte written as \xNN, so that a line said on a terminal never
// carries one (a CR would overwrite what was said, an escape sequence would act).
std::string EscapedControlBytes(std::string_view text);

// Converts between two iconv encodings. An input sequence that cannot be converted becomes
// `replacement` and the conversion goes on one byte later; shift states are closed at the end.
std::string ConvertCharset(const char* to, const char* from, std::string_view in,
                           std::string_view replacement);

// CP932 -> UTF-8. Bytes that are not CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 -> CP932. Characters CP932 cannot hold become "?".
std::string Utf8ToCp932(std::string_view utf8);

// Whether the bytes are well-formed UTF-8 (no overlong lead bytes, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// A Japanese literal of the sources (UTF-8) as the CP932 text the program uses.
inline std::string J(std::string_view utf8) {
    return Utf8ToCp932(utf8);
}

// The longest prefix of text that fits in width - 1 bytes (a buffer of width bytes with its
// terminating zero) without splitting a double-byte character.
std::string CutToWidth(std::string_view text, std::size_t width);

// Equal but for the case of ASCII letters (names of profile keys, headers, attributes).
// The text with ASCII letters in lower case (other bytes as they are).
std::string AsciiLower(std::string text);
bool EqualNoCase(std::string_view a, std::string_view b);

// Copies text into out[size] the way a fixed buffer holds it: cut to size - 1 bytes on a
// character boundary, zero-terminated. Nothing is written when size is 0.
void CopyToBuffer(char* out, std::size_t size, std::string_view text);

}  // namespace quillrun
