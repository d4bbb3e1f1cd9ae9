#include "core/platform/cp932.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillrun {

TEST(Cp932, LiteralsRoundTripAndCutsKeepCharactersWhole) {
    std::string hyo = J("表");
    ASSERT_EQ(hyo, "\x95\x5C");
    EXPECT_EQ(Cp932ToUtf8(hyo), "表");
    EXPECT_EQ(J("記録中"), "\x8B\x4C\x98\x5E\x92\x86");

    // A buffer of 4 bytes holds 3: "a" and one double-byte character, not half of the next.
    std::string text = "a" + J("表表");
    EXPECT_EQ(CutToWidth(text, 4), "a" + hyo);
    EXPECT_EQ(CutToWidth(text, 5), "a" + hyo);
    EXPECT_EQ(CutToWidth(text, 6), text);
    EXPECT_EQ(CutToWidth(text, 1), "");
    EXPECT_EQ(CutToWidth(text, 0), "");

    char buffer[4];
    std::memset(buffer, 'x', sizeof(buffer));
    CopyToBuffer(buffer, 3, "abcdef");
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(buffer[3], 'x');  // nothing past the width
}

TEST(Cp932, UnconvertibleTextIsReplacedNotDropped) {
    EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80z"), "a?z");  // an emoji has no CP932 code
    EXPECT_EQ(Cp932ToUtf8("a\xFF"
                          "z"),
              "a\xEF\xBF\xBDz");
}

}  // namespace quillrun
