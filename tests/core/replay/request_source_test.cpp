// What the page shown sends with a replayed request: its origin, and the referrer of the
// browsers' default policy.
#include "core/replay/request_source.h"

#include <gtest/gtest.h>

namespace quillrun {
namespace {

TEST(RequestSource, OriginsAndReferrersAsBrowsersSendThem) {
    EXPECT_EQ(OriginOf("http://Shop.Example:80/a?b#c"), "http://shop.example");
    EXPECT_EQ(OriginOf("https://h:8443/x"), "https://h:8443");
    EXPECT_EQ(OriginOf("https://user:pw@h:443"), "https://h");
    EXPECT_EQ(OriginOf("http://[::1]:80/"), "http://[::1]");  // the default port left out
    EXPECT_EQ(OriginOf("http://[::1]:8080/"), "http://[::1]:8080");
    EXPECT_EQ(OriginOf("http://[::80]/"), "http://[::80]");
    EXPECT_EQ(OriginOf("https://[::1]:443"), "https://[::1]");
    EXPECT_EQ(OriginOf("about:blank"), "null");
    EXPECT_EQ(OriginOf("file:///tmp/x"), "null");

    RequestSource same = SourceOfRow("http://h/login", "http://h/form?step=1#top", {});
    EXPECT_TRUE(same.sameOrigin);
    EXPECT_EQ(same.origin, "http://h");
    EXPECT_EQ(same.referrer, "http://h/form?step=1");  // whole, less its fragment

    RequestSource cross = SourceOfRow("http://api.h/vote", "http://h/page", {});
    EXPECT_FALSE(cross.sameOrigin);
    EXPECT_EQ(cross.origin, "http://h");
    EXPECT_EQ(cross.referrer, "http://h/");  // the origin only, to another site

    RequestSource down = SourceOfRow("http://h/plain", "https://h/secure", {});
    EXPECT_EQ(down.referrer, "");  // never from a secure page to a plain one

    RequestSource frame =
        SourceOfRow("http://votes.example:81/vote", "http://h/top",
                    {"http://ads.example/x", "http://votes.example:81/frame.html"});
    EXPECT_TRUE(frame.fromFrame);
    EXPECT_TRUE(frame.sameOrigin);
    EXPECT_EQ(frame.origin, "http://votes.example:81");
    EXPECT_EQ(frame.referrer, "http://votes.example:81/frame.html");

    RequestSource nothing = SourceOfRow("http://h/x", "about:blank", {});
    EXPECT_EQ(nothing.origin, "null");
    EXPECT_EQ(nothing.referrer, "");
}

}  // namespace
}  // namespace quillrun
