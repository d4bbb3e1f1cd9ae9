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

}  // namespace quillrun
