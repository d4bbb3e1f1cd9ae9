#include "core/replay/cookie_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/web/charset_converter.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

class CookieStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_.MakeProgramFolders(); }
    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
};

struct RecordingPrompter : Prompter {
    std::vector<std::string> texts;
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptButtons,
                     PromptIcon) override {
        texts.push_back(caption + ":" + text);
        return PromptAnswer::Ok;
    }
};

}  // namespace

TEST_F(CookieStoreTest, EverySetCookieHeaderOfTheHeaderSectionAndNoAttributeIsACookie) {
    std::vector<SetCookie> cookies = ParseSetCookies(
        "HTTP/1.0 200 OK\r\nSet-Cookie: SID=abc; Path=/app; Expires=Wed, 01-Jan-2031 00:00:00 GMT;"
        " HttpOnly\r\nset-cookie: token=xyz\r\nSET-COOKIE: pref=1; DOMAIN=.Example.com; secure;"
        " SameSite=Lax\r\nX: 1\r\n\r\n<p>Set-Cookie: fake=1; domain=evil; path=/</p>");
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0].name + "=" + cookies[0].value, "SID=abc");
    EXPECT_EQ(cookies[0].path, "/app");
    EXPECT_FALSE(cookies[0].secure);
    EXPECT_EQ(cookies[1].name + "=" + cookies[1].value, "token=xyz");  // one pair, no ";"
    EXPECT_EQ(cookies[1].domain + cookies[1].path, "");
    EXPECT_EQ(cookies[2].domain, "Example.com");
    EXPECT_TRUE(cookies[2].secure);
    // Only the header section: the page's text is no cookie.
    EXPECT_TRUE(ParseSetCookies("HTTP/1.0 200 OK\r\n\r\nSet-Cookie: a=1; domain=h").empty());
    // A bare CR inside a header line makes a cookie no browser keeps.
    cookies = ParseSetCookies("Set-Cookie: a\rb=1\r\nSet-Cookie: b=2\x01\r\nSet-Cookie: c=3\r\n");
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].name, "c");

    // Read in Shift_JIS, as the rest of the store.
    CharsetConverter toUtf8;
    toUtf8.SetOption("w");
    cookies = ParseSetCookies(toUtf8.Convert("Set-Cookie: name=" + J("値") + "; path=/\r\n"));
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].value, J("値"));
}

TEST_F(CookieStoreTest, CookiesGoToTheirDomainAndPathOnlyAndSecureOnesOnlyOverTls) {
    StoreResponseCookies(
        "HTTP/1.0 200 OK\r\nSet-Cookie: a=1; path=/x\r\n"
        "Set-Cookie: s=2; Path=/; Secure\r\nSet-Cookie: d=3; Domain=example.com\r\n\r\n",
        "127.0.0.1", "/x/login.cgi");
    EXPECT_EQ(test::ReadFile(dir_ / "cookies/[127.0.0.1][@x].cookie"), "[expire_never]\r\na=1\r\n");
    EXPECT_TRUE(FileExists(dir_ / "cookies/[127.0.0.1][@][secure].cookie"));
    // A Domain the answering host is not in is refused; from inside it, the cookie belongs to
    // the directory of the request's path.
    EXPECT_FALSE(FileExists(dir_ / "cookies/[example.com][@x].cookie"));
    StoreResponseCookies("HTTP/1.0 200 OK\r\nSet-Cookie: d=3; Domain=example.com\r\n\r\n",
                         "www.example.com", "/x/login.cgi");
    EXPECT_TRUE(FileExists(dir_ / "cookies/[example.com][@x].cookie"));

    EXPECT_EQ(LookupCookies("127.0.0.1", "/x/y.cgi"), "a=1; ");
    EXPECT_EQ(LookupCookies("127.0.0.1", "/x"), "a=1; ");
    std::string overTls = LookupCookies("127.0.0.1", "/x/y.cgi", true);
    EXPECT_EQ(overTls.size(), 10u);
    EXPECT_NE(overTls.find("s=2; "), std::string::npos);
    EXPECT_EQ(LookupCookies("127.0.0.1", "/xy"), "");    // whole segments only
    EXPECT_EQ(LookupCookies("127.0.0.10", "/x/y"), "");  // not a host that contains it
    EXPECT_EQ(LookupCookies("www.example.com", "/x/login.cgi"), "d=3; ");
    EXPECT_EQ(LookupCookies("evil-example.com", "/x/login.cgi"), "");

    // A file written by an older store, attributes kept as cookies: they are not sent.
    test::WriteFile(dir_ / "cookies/[old][@].cookie",
                    "[expire_never]\r\nssid=1\r\npath=/\r\nsecure=\r\nDomain=old\r\n");
    EXPECT_EQ(LookupCookies("old", "/a"), "ssid=1; ");

    // The same name again keeps one key with the later value.
    StoreResponseCookies("HTTP/1.0 200 OK\r\nSet-Cookie: a=9; path=/x\r\n\r\n", "127.0.0.1", "/");
    EXPECT_EQ(test::ReadFile(dir_ / "cookies/[127.0.0.1][@x].cookie"), "[expire_never]\r\na=9\r\n");
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

TEST_F(CookieStoreTest, ALookupConsidersTheFirstHundredFiles) {
    // 101 files whose paths all lie on one request path give at most 100 pairs.
    std::string path;
    for (int i = 0; i < 101; ++i) {
        SaveCookieFile("k" + std::to_string(i) + "=1;",
                       CookieFilePath("h", path.empty() ? "/" : path));
        path += "/a";
    }
    std::string text = LookupCookies("h", path);
    EXPECT_EQ(std::count(text.begin(), text.end(), ';'), 100);
}

TEST_F(CookieStoreTest, ControlBytesNeverReachTheCookieHeader) {
    // A server's value with a bare CR is not stored.
    SaveCookieFile("Cookie: A=1; B=2\rX-Injected: 1; C=3;", CookieFilePath("h", "/"));
    EXPECT_EQ(LookupCookies("h", "/"), "A=1; C=3; ");
    // A file damaged by hand is read without its bad lines; one without brackets names no
    // domain and goes to no host.
    test::WriteFile(dir_ / "cookies/any.cookie", "[expire_never]\r\nZ=1\r\n");
    test::WriteFile(
        dir_ / "cookies/[other][@].cookie",
        "[expire_never]\r\nD=4\r\nE=5\rF: 6\r\n" + std::string("G=\0", 4) + "\r\nH=\x01\r\n");
    std::string header = LookupCookies("other", "/");
    EXPECT_EQ(header.find('\r'), std::string::npos);
    EXPECT_EQ(header.find('\0'), std::string::npos);
    EXPECT_EQ(header.find('\x01'), std::string::npos);
    EXPECT_NE(header.find("D=4; "), std::string::npos);
    EXPECT_EQ(header.find("Z=1"), std::string::npos);
}

}  // namespace quillrun
