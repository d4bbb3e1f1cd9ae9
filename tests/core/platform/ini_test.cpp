#include "core/platform/ini.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"
#include "tests/support/temp_folder.h"

namespace quillrun {

TEST(Ini, ReadingIsCaseInsensitiveTrimmedAndUnquoted) {
    IniDocument ini;
    ini.Parse(
        "; comment\r\n"
        "[Config]\r\n"
        "  StartPage = http://a/  \r\n"
        "quoted=\"x y\"\r\n"
        "half=\"x\r\n"
        "bare\r\n"
        "num=  -42abc\r\n"
        "empty=\r\n"
        "[config]\r\n"
        "StartPage=second\r\n");
    EXPECT_EQ(ini.GetString("CONFIG", "startpage", "d", 260), "http://a/");
    EXPECT_EQ(ini.GetString("config", "QUOTED", "d", 260), "x y");
    EXPECT_EQ(ini.GetString("config", "half", "d", 260), "\"x");
    EXPECT_EQ(ini.GetString("config", "bare", "d", 260), "");
    EXPECT_EQ(ini.GetString("config", "missing", "dflt", 260), "dflt");
    EXPECT_EQ(ini.GetString("nosection", "startpage", "dflt", 260), "dflt");
    EXPECT_EQ(ini.GetString("config", "startpage", "d", 5), "http");  // width 5 holds 4 bytes
    EXPECT_EQ(ini.GetInt("config", "num", 7), -42);
    EXPECT_EQ(ini.GetInt("config", "empty", 7), 7);
    EXPECT_EQ(ini.GetInt("config", "missing", 7), 7);
    EXPECT_EQ(ini.GetInt("config", "startpage", 7), 0);  // text without a number
}

TEST(Ini, WritingReplacesInPlaceAppendsKeysToTheirSectionAndSectionsAtTheEnd) {
    IniDocument ini;
    ini.Parse(
        "top line\r\n"
        "[A]\r\n"
        "k1=1\r\n"
        "; note\r\n"
        "\r\n"
        "[B]\n"
        "k2=" +
        J("表示") + "\n");
    ini.SetString("a", "K1", "one");
    ini.SetString("A", "k3", "3");
    ini.SetString("C", "k4", "4");
    ini.SetString("b", "k5", "5");
    EXPECT_EQ(ini.Serialize(),
              "top line\r\n"
              "[A]\r\n"
              "k1=one\r\n"
              "; note\r\n"
              "k3=3\r\n"
              "\r\n"
              "[B]\n"
              "k2=" +
                  J("表示") +
                  "\n"
                  "k5=5\r\n"
                  "[C]\r\n"
                  "k4=4\r\n");
}

TEST(Ini, LastLineWithoutLineEndGetsOneBeforeAnAddition) {
    IniDocument ini;
    ini.Parse("[A]\r\nk=1");
    ini.SetString("B", "x", "y");
    EXPECT_EQ(ini.Serialize(), "[A]\r\nk=1\r\n[B]\r\nx=y\r\n");
    ini.Parse("[A]");
    ini.SetString("A", "x", "y");
    EXPECT_EQ(ini.Serialize(), "[A]\r\nx=y\r\n");
}

TEST(Ini, ProfileFunctionsWorkOnTheFileAndCreateIt) {
    test::TempFolder dir;
    std::string path = dir / "a.ini";
    EXPECT_EQ(GetPrivateProfileString("S", "k", "def", 260, path), "def");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", path));
    ASSERT_TRUE(WritePrivateProfileString("S", "n", "12", path));
    ASSERT_TRUE(WritePrivateProfileString("T", "k", "", path));
    EXPECT_EQ(test::ReadFile(path), "[S]\r\nk=v\r\nn=12\r\n[T]\r\nk=\r\n");
    EXPECT_EQ(GetPrivateProfileString("s", "K", "def", 260, path), "v");
    EXPECT_EQ(GetPrivateProfileInt("S", "n", 0, path), 12);
}

TEST(Ini, LeadingIntegerTakesSignAndDigitsOnly) {
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("-1"), -1);
    EXPECT_EQ(LeadingInteger("+15x"), 15);
    EXPECT_EQ(LeadingInteger(" 7"), 7);
    EXPECT_EQ(LeadingInteger("x7"), 0);
    EXPECT_EQ(LeadingInteger("-"), 0);
    EXPECT_EQ(LeadingInteger("4294967297"), 1);  // 32-bit arithmetic, never undefined
}

}  // namespace quillrun
