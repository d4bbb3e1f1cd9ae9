#include "core/web/url_encoding.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillrun {
namespace {

std::string Encode(const std::string& s, std::uint16_t keep, std::size_t size = 30720) {
    return UrlEncode(s, size, keep);
}

std::string Decode(std::string s, std::uint16_t keep) {
    UrlDecode(s, keep);
    return s;
}

}  // namespace

TEST(UrlEncode, KeepFlagsAndTheSlashEscape) {
    EXPECT_EQ(Encode("a=1&b=x/&y//z", 7), "a=1&b=x%26y%2Fz");
    EXPECT_EQ(Encode("a=1&b=x/&y//z", 0), "a%3D1%26b%3Dx%2F%26y%2F%2Fz");
    EXPECT_EQ(Encode("x/y", 1), "xy");
    EXPECT_EQ(Encode("x/y", 0), "x%2Fy");
    EXPECT_EQ(Encode("//", 4), "%2F");
    EXPECT_EQ(Encode("///&", 1), "%2F%26");
    EXPECT_EQ(Encode("a?b", 2), "a?b");
    EXPECT_EQ(Encode("a?b", 1), "a%3Fb");
    EXPECT_EQ(Encode("@AZaz09*-._~", 0), "@AZaz09*-._%7E");
    EXPECT_EQ(Encode("\x82\xA0", 0), "%82%A0");

    char dest[31];
    std::memset(dest, 'x', sizeof(dest));
    EXPECT_EQ(UrlEncode("a b", dest, sizeof(dest), 0), 3);
    EXPECT_STREQ(dest, "a+b");
    EXPECT_EQ(UrlEncode("0123456789", dest, 30, 0), 0);
    EXPECT_EQ(dest[0], 'a');  // untouched
    EXPECT_EQ(UrlEncode("0123456789", dest, 31, 0), 10);
    EXPECT_EQ(UrlEncode("", dest, 31, 0), 0);
}

TEST(UrlDecode, InverseWithTheSameEscapeAndUpperCaseHexOnly) {
    EXPECT_EQ(Decode("a%26b", 1), "a/&b");
    EXPECT_EQ(Decode("a%26b", 0), "a&b");
    EXPECT_EQ(Decode("a%3Fb%3Dc", 6), "a/?b/=c");
    EXPECT_EQ(Decode("x%2Fy", 4), "x//y");
    EXPECT_EQ(Decode("x%2fy", 4), "x y");  // lower case: the general rule, "f" counts 0
    EXPECT_EQ(Decode("%e3%81%82", 0), "\x03\x81\x82");
    EXPECT_EQ(Decode("%4", 0), "%4");
    EXPECT_EQ(Decode("a+b%41", 0), "a bA");
    EXPECT_EQ(Decode("a%00b", 0), "a");  // a decoded zero ends the text
    std::string binary = "a%00b";
    UrlDecode(binary, 0, true);
    EXPECT_EQ(binary, std::string("a\0b", 3));
    EXPECT_EQ(HexPairToByte('4', '1'), 'A');
    EXPECT_EQ(HexPairToByte('2', 'f'), ' ');

    // Decoding undoes encoding with the same flags.
    for (std::uint16_t keep = 0; keep < 8; ++keep) {
        std::string data = "k=v&x=a/&b//c d\x82\xA0";
        EXPECT_EQ(Encode(Decode(Encode(data, keep), keep), keep), Encode(data, keep)) << keep;
    }
}

TEST(PercentEncodeAll, EncodesEveryByteAndCutsAtTheDataWidth) {
    std::string marker = "form-data";
    EXPECT_TRUE(PercentEncodeAll(marker));
    EXPECT_EQ(marker, kMultipartMarker);
    std::string big(10240, 'z');
    EXPECT_FALSE(PercentEncodeAll(big));
    EXPECT_EQ(big.size(), 10239u * 3);
}

}  // namespace quillrun
