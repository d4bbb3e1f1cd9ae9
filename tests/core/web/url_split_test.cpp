#include "core/web/url_split.h"

#include <gtest/gtest.h>

namespace quillrun {
namespace {

std::pair<std::string, std::string> Split(const std::string& url) {
    UrlParts p;
    EXPECT_TRUE(SplitUrl(url, p)) << url;
    return {p.host, p.path};
}

using HostPath = std::pair<std::string, std::string>;

}  // namespace

TEST(SplitUrl, HostAndPathAsTheSenderAddressesThem) {
    EXPECT_EQ(Split("http://h/cgi-bin/a.cgi?x=1"), (HostPath{"h", "/cgi-bin/a.cgi?x=1"}));
    EXPECT_EQ(Split("http://h/"), (HostPath{"h", "/"}));
    EXPECT_EQ(Split("http://h:8080/x"), (HostPath{"h:8080", "/x"}));
    EXPECT_EQ(Split("http://h/a//b"), (HostPath{"h", "/a//b"}));
    // A host and no path: path "/", never a path from anywhere else.
    EXPECT_EQ(Split("http://h"), (HostPath{"h", "/"}));
    EXPECT_EQ(Split("http://h?q=1"), (HostPath{"h", "/?q=1"}));
    UrlParts p;
    EXPECT_FALSE(SplitUrl("submit=go", p));
    EXPECT_FALSE(SplitUrl("h/x", p));
}

TEST(SplitUrl, UserInformationIsTakenOutOfTheHostAndShownMasked) {
    UrlParts parts;
    ASSERT_TRUE(SplitUrl("https://u:p@h:8443?q=@x", parts));
    EXPECT_EQ(parts.host, "h:8443");
    EXPECT_EQ(parts.userinfo, "u:p");
    EXPECT_EQ(parts.path, "/?q=@x");
    ASSERT_TRUE(SplitUrl("http://h/a@b", parts));  // an "@" in the path is the path's
    EXPECT_EQ(parts.host, "h");
    EXPECT_EQ(parts.userinfo, "");
    ASSERT_TRUE(SplitUrl("http://a@b@h/x", parts));  // the last "@" ends it
    EXPECT_EQ(parts.host, "h");
    EXPECT_EQ(parts.userinfo, "a@b");
    EXPECT_EQ(WithoutUserinfo("http://u:p@h/x?y@z"), "http://h/x?y@z");
    EXPECT_EQ(MaskedUserinfo("http://u:p@h/x"), "http://u:***@h/x");
    EXPECT_EQ(MaskedUserinfo("http://u@h/x"), "http://u@h/x");
    EXPECT_EQ(MaskedUserinfo("http://h/x@y"), "http://h/x@y");
    EXPECT_EQ(BasicAuthorization("Aladdin:open%20sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

}  // namespace quillrun
