// Fresh tokens as today's frameworks hand them out, through the socket sender against a site
// that checks them (a per-session token behind a redirect, a <meta> token sent in a header and
// a JSON body, a token cookie echoed in a header), and the rules on their own.
#include "core/replay/fresh_tokens.h"

#include <gtest/gtest.h>

#include "core/recording/event_line.h"
#include "tests/support/token_site_replay.h"

namespace quillrun {
namespace {

TEST(FreshTokens, MetaTokensCookieTokensHeadersAndFields) {
    PageTokens page = PageTokensOf(
        "<html><head><meta name=\"csrf-param\" content=\"authenticity_token\">"
        "<meta name=\"CSRF-Token\" content=\"new+tok=\"></head><body></body></html>");
    EXPECT_EQ(page.token, "new+tok=");
    EXPECT_EQ(page.param, "authenticity_token");
    EXPECT_FALSE(PageTokensOf("<meta name=description content=x>").Any());

    std::string cookies = "sid=1; XSRF-TOKEN=ab%2Fc%3D%3D; csrftoken=dj1; ";
    EXPECT_EQ(CookieValueOf(cookies, "XSRF-TOKEN"), "ab/c==");  // decoded as the scripts do
    EXPECT_EQ(CookieValueOf(cookies, "csrftoken"), "dj1");
    EXPECT_EQ(CookieValueOf(cookies, "token"), "");

    std::vector<std::string> refreshed;
    std::string headers = std::string(kPercentBodyEntry) + "\x1f" +
                          "X-CSRF-Token: old\x1fX-XSRF-TOKEN: old\x1fX-CSRFToken: old\x1f"
                          "Origin: http://h";
    EXPECT_EQ(RefreshTokenHeaders(headers, page, cookies, refreshed),
              std::string(kPercentBodyEntry) + "\x1f" +
                  "X-CSRF-Token: new+tok=\x1fX-XSRF-TOKEN: ab/c==\x1fX-CSRFToken: dj1\x1f"
                  "Origin: http://h");
    EXPECT_EQ(refreshed.size(), 3u);
    refreshed.clear();
    // Without a token anywhere the header stays as recorded.
    EXPECT_EQ(RefreshTokenHeaders("X-CSRF-Token: old", PageTokens(), "", refreshed),
              "X-CSRF-Token: old");
    EXPECT_TRUE(refreshed.empty());

    EXPECT_EQ(RefreshTokenField("a=1&authenticity_token=old&b=2", false, page, refreshed),
              "a=1&authenticity_token=new%2Btok%3D&b=2");
    EXPECT_EQ(RefreshTokenField("{\"x\": 1, \"authenticity_token\" : \"o\\\"ld\", \"y\":\"z\"}",
                                true, page, refreshed),
              "{\"x\": 1, \"authenticity_token\" : \"new+tok=\", \"y\":\"z\"}");
    EXPECT_EQ(RefreshTokenField("{\"other\":\"x\"}", true, page, refreshed), "{\"other\":\"x\"}");
    EXPECT_EQ(refreshed.size(), 2u);
}

class FreshTokensReplayTest : public test::TokenSiteReplayTest {};

TEST_F(FreshTokensReplayTest, ALoginThatRedirectsToTheBookingFormIsFollowedForItsToken) {
    std::string file = "1\tURL\t" + Url("/login") + "\t\t\r\n" + "2\tPOST\t" + Url("/login") +
                       "\tcsrf=t9-1&user=me\t\r\n" + "3\tPOST\t" + Url("/book") +
                       "\tcsrf=t9-2&seat=1\t\r\n" + "4\t\t\t\t\r\n";
    // As recorded, the site refuses the stale tokens; nothing is followed.
    std::vector<RowResult> stale = Replay(file, false);
    ASSERT_EQ(stale.size(), 3u);
    EXPECT_NE(stale[1].outcome.find("419"), std::string::npos);
    std::size_t asked = server_.RequestCount();
    EXPECT_EQ(asked, 3u);

    std::vector<RowResult> rows = Replay(file, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[1].outcome.find("303"), std::string::npos) << rows[1].outcome;
    EXPECT_EQ(rows[2].outcome, "HTTP/1.0 200 OK");
    ASSERT_FALSE(rows[2].notes.empty());
    EXPECT_EQ(rows[2].notes[0], "redirect followed: GET " + Url("/book") + " -> HTTP/1.0 200 OK");
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), asked + 4);  // the three rows and the page the login led to
    EXPECT_EQ(requests[asked + 2].method, "GET");
    EXPECT_EQ(requests[asked + 2].target, "/book?");
    EXPECT_NE(requests[asked + 2].Header("cookie").find("sid="), std::string::npos);
}

TEST_F(FreshTokensReplayTest, AMetaTokenAndATokenCookieGoInTheHeadersAndTheJsonBody) {
    std::string file =
        "1\tURL\t" + Url("/app") + "\t\t\r\n" +
        FormatEventLine(2, "POST", Url("/api/order"), "{\"authenticity_token\":\"old\",\"n\":2}",
                        "Content-Type: application/json\x1fX-CSRF-Token: old\x1f"
                        "Origin: http://127.0.0.1") +
        FormatEventLine(3, "PUT", Url("/api/seat"), "{}",
                        "Content-Type: application/json\x1fX-XSRF-TOKEN: xold=\x1f"
                        "Origin: http://127.0.0.1") +
        "4\t\t\t\t\r\n";
    std::vector<RowResult> stale = Replay(file, false);
    ASSERT_EQ(stale.size(), 3u);
    EXPECT_NE(stale[1].outcome.find("419"), std::string::npos);
    EXPECT_NE(stale[2].outcome.find("419"), std::string::npos);

    std::vector<RowResult> rows = Replay(file, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].outcome, "HTTP/1.0 200 OK");
    EXPECT_EQ(rows[2].outcome, "HTTP/1.0 200 OK");
    std::vector<std::string> expected = {"token header X-CSRF-Token refreshed",
                                         "token field authenticity_token refreshed"};
    EXPECT_EQ(rows[1].notes, expected);
    for (const std::string& m : Messages())
        EXPECT_EQ(m.find("t2-"), std::string::npos) << "a token's value is never said";
}

}  // namespace
}  // namespace quillrun
