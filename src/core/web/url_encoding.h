// Percent-encoding of recorded form data, with the keep flags that leave "&", "?" and "=" as
// delimiters and the slash escape that still lets them be written as data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillrun {

// The width of an event's data, terminating zero included: no encoded or decoded text passes it.
constexpr std::size_t kDataWidth = 30720;

constexpr std::uint16_t kKeepAmpersand = 1;
constexpr std::uint16_t kKeepQuestion = 2;
constexpr std::uint16_t kKeepEquals = 4;

// "%66%6F%72%6D%2D%64%61%74%61": "form-data" with every byte encoded. A stored body holding it
// is a multipart body with every byte percent-encoded.
extern const char kMultipartMarker[];

// Encodes source into dest (a buffer of destSize bytes, zero-terminated). Returns the number of
// characters written, or 0 (dest untouched) for an empty source or when destSize is smaller
// than 3 x length + 1.
int UrlEncode(const char* source, char* dest, std::size_t destSize, std::uint16_t keep);
// The same for strings: the encoded text, or empty when width bytes could not hold it.
std::string UrlEncode(std::string_view source, std::size_t width, std::uint16_t keep);

// Decodes text in place. A decoded zero byte ends the text unless keepZeroBytes is set (a
// multipart body sent by the replay engines keeps its binary file contents whole). The result
// holds at most 30719 bytes.
void UrlDecode(std::string& text, std::uint16_t keep, bool keepZeroBytes = false);

// Replaces text by its fully percent-encoded form, every byte (a zero byte of a file sent in
// a multipart body too). At most 10239 bytes are encoded (30717 characters, the width of event
// data); returns false when the text was longer and has been cut.
bool PercentEncodeAll(std::string& text);

// The boundary of a multipart body: its first line without the leading "--" (empty when the
// body does not start with "--"). Replays add it to the content type, which a server needs to
// split the parts.
std::string MultipartBoundary(const std::string& body);

// The byte of two upper-case hex digits; a character outside "0123456789ABCDEF" counts 0.
unsigned char HexPairToByte(char high, char low);

}  // namespace quillrun
