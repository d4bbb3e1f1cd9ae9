#include "core/replay/cookie_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/replay/charset_converter.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

class CookieStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_.MakeProgramFolders(); }
    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
};

struct Parsed {
    int result;
    std::string cookie, domain, path;
};

Parsed Parse(const std::string& response) {
    Parsed p;
    p.result = ParseSetCookie(response, p.cookie, p.domain, p.path);
    return p;
}

struct RecordingPrompter : Prompter {
    std::vector<std::string> texts;
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptButtons,
                     PromptIcon) override {
        texts.push_back(caption + ":" + text);
        return PromptAnswer::Ok;
    }
};

}  // namespace

TEST_F(CookieStoreTest, ParseTakesTheCookieLineAndTheFirstAttributesOfTheResponse) {
    Parsed p = Parse(
        "HTTP/1.0 200 OK\r\nSet-Cookie: SID=abc; path=/; expires=Wed, 01-Jan-2031"
        "\r\nX: 1\r\n\r\nbody");
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.cookie, "Cookie: SID=abc; path=/; ");
    EXPECT_EQ(p.path, "/");
    EXPECT_EQ(p.domain, "");

    p = Parse("HTTP/1.0 200 OK\r\nSet-Cookie: a=1; b=2; path=/x; domain=h\r\nX: y\r\n\r\n");
    EXPECT_EQ(p.cookie, "Cookie: a=1; b=2; path=/x; domain=h\r");
    EXPECT_EQ(p.path, "/x");
    EXPECT_EQ(p.domain, "h");

    p = Parse("HTTP/1.0 200 OK\r\n\r\nno cookie, path=/z");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.cookie, "");
    EXPECT_EQ(p.path, "");

    // The response is searched in Shift_JIS.
    CharsetConverter toUtf8;
    toUtf8.SetOption("w");
    p = Parse(toUtf8.Convert("Set-Cookie: name=" + J("値") + "; path=/\r\n"));
    EXPECT_EQ(p.cookie, "Cookie: name=" + J("値") + "; path=/\r");
}

TEST_F(CookieStoreTest, PairsFollowedBySemicolonsAreStoredAndLookedUpByDomainAndPath) {
    Parsed p = Parse("HTTP/1.0 200 OK\r\nSet-Cookie: a=1; b=2; path=/x; domain=h\r\n\r\n");
    std::string file = CookieFilePath(p.domain, "/x");
    EXPECT_EQ(file, dir_ / "cookies/[h][@x].cookie");
    SaveCookieFile(p.cookie, file);
    EXPECT_EQ(test::ReadFile(file), "[expire_never]\r\na=1\r\nb=2\r\npath=/x\r\n");

    EXPECT_EQ(LookupCookies("h", "/x/y.cgi"), "a=1; b=2; path=/x; ");
    EXPECT_EQ(LookupCookies("www.h.example", "/x"), "a=1; b=2; path=/x; ");
    EXPECT_EQ(LookupCookies("h", "/y"), "");
    EXPECT_EQ(LookupCookies("example", "/x"), "");

    // The same name again keeps one key with the later value; a pair without ";" is not saved.
    SaveCookieFile("Cookie: a=9; c=3", file);
    EXPECT_EQ(test::ReadFile(file), "[expire_never]\r\na=9\r\nb=2\r\npath=/x\r\n");
}

TEST_F(CookieStoreTest, ServerTextsNeverLeaveTheCookiesFolder) {
    std::string file = CookieFilePath("../../etc", "/a/../b\\c");
    EXPECT_EQ(file, dir_ / "cookies/[.._.._etc][@a@..@b@c].cookie");
    // A bracket after a lead byte still counts as a bracket for the lookup: it is replaced too.
    EXPECT_EQ(CookieFilePath("d", "/\x86[x"), dir_ / "cookies/[d][@\x86_x].cookie");
    file = CookieFilePath("h]x[y", std::string("p\r\n\x01", 4));
    EXPECT_EQ(file, dir_ / "cookies/[h_x_y][p___].cookie");
    SaveCookieFile("Cookie: k=v; ", CookieFilePath("evil/../../x", "/"));
    EXPECT_TRUE(FileExists(dir_ / "cookies/[evil_.._.._x][@].cookie"));
    EXPECT_EQ(LookupCookies("evil/../../x", "/"), "");  // "/" in the host is no longer equal
    EXPECT_EQ(LookupCookies("evil_.._.._x", "/"), "k=v; ");
}

TEST_F(CookieStoreTest, CookieTextStaysWithin1023Bytes) {
    std::string value(200, 'v');
    for (int i = 0; i < 5; ++i) {
        SaveCookieFile("Cookie: k" + std::to_string(i) + "=" + value + "; ",
                       CookieFilePath("h", "/"));
    }
    std::string text = LookupCookies("h", "/");
    EXPECT_LE(text.size(), 1023u);
    EXPECT_EQ(text.size(), 4u * (3 + 200 + 2));  // whole lines only

    // Lines are read 259 bytes at a time: the rest of a longer line has no "=" and is skipped.
    SaveCookieFile("Cookie: long=" + std::string(300, 'w') + "; ", CookieFilePath("L", "/"));
    EXPECT_EQ(LookupCookies("L", "/"), "long=" + std::string(254, 'w') + "; ");
}

TEST_F(CookieStoreTest, ListingIsBoundedAndReportsOnlyWithAnOwner) {
    for (int i = 0; i < 101; ++i) {
        test::WriteFile(dir_ / ("cookies/[h" + std::to_string(i) + "][@].cookie"),
                        "[expire_never]\r\nk" + std::to_string(i) + "=1\r\n");
    }
    test::WriteFile(dir_ / "cookies/quillrun.sin", "x\r\n");
    std::vector<std::string> names;
    EXPECT_EQ(ListFolderFiles(nullptr, dir_ / "cookies", names, 100, 260, "*.cookie",
                              kListMatchingFiles, true),
              100);
    // Only the first 100 files are considered by a lookup.
    std::string text = LookupCookies("h0h1h2h3h4h5h6h7h8h9", "/");
    EXPECT_LE(std::count(text.begin(), text.end(), ';'), 100);

    RecordingPrompter owner;
    EXPECT_EQ(ListFolderFiles(&owner, dir_ / "cookies", names, 100, 260, "*.cookie",
                              kListMatchingFiles, true),
              100);
    ASSERT_EQ(owner.texts.size(), 1u);
    EXPECT_EQ(owner.texts[0], "ERROR:" + J("確保メモリ不足により、途中まで出力。"));
    EXPECT_EQ(ListFolderFiles(&owner, dir_ / "nothere", names, 100, 260, "*.cookie",
                              kListMatchingFiles, true),
              kListNoFindHandle);
    EXPECT_EQ(ListFolderFiles(nullptr, dir_ / "cookies", names, 200, 10, "*.cookie",
                              kListMatchingFiles, true),
              kListNameTooLong);
    // 101 names of about 14 bytes do not fit a work buffer made for 5 names of 260.
    EXPECT_EQ(ListFolderFiles(nullptr, dir_ / "cookies", names, 5, 260, "*.cookie",
                              kListMatchingFiles, true),
              kListBufferTooSmall);
    EXPECT_EQ(ListFolderFiles(nullptr, dir_ / "cookies", names, 200, 260, "*.sin",
                              kListMatchingFiles, false),
              1);
    EXPECT_EQ(names[0], dir_ / "cookies/quillrun.sin");
}

TEST_F(CookieStoreTest, ControlBytesNeverReachTheCookieHeader) {
    // A server's value with a bare CR is not stored.
    SaveCookieFile("Cookie: A=1; B=2\rX-Injected: 1; C=3;", CookieFilePath("h", "/"));
    EXPECT_EQ(LookupCookies("h", "/"), "A=1; C=3; ");
    // A file damaged by hand (no brackets: it matches every host) is read without its bad lines.
    test::WriteFile(dir_ / "cookies/any.cookie", "[expire_never]\r\nD=4\r\nE=5\rF: 6\r\n" +
                                                     std::string("G=\0", 4) + "\r\nH=\x01\r\n");
    std::string header = LookupCookies("other", "/");
    EXPECT_EQ(header.find('\r'), std::string::npos);
    EXPECT_EQ(header.find('\0'), std::string::npos);
    EXPECT_EQ(header.find('\x01'), std::string::npos);
    EXPECT_NE(header.find("D=4; "), std::string::npos);
}

}  // namespace quillrun
