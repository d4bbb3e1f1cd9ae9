#include "core/recording/script_request.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"

namespace quillrun {

TEST(ScriptRequestEvent, KeepsTheRequestsOwnHeadersAndBodyAndRefusesWhatALineCannotHold) {
    ScriptRequest request;
    request.via = "fetch";
    request.method = "PATCH";
    request.url = "http://h/api/items/7?v=2";
    request.origin = "http://h";
    request.headers = {{"Content-Type", "application/json"},
                       {"X-CSRF-Token", "t0k"},
                       {"Cookie", "sid=1"},
                       {"Content-Length", "9"},
                       {":authority", "h"},
                       {"sec-ch-ua", "x"},
                       {"User-Agent", "engine"},
                       {"Origin", "http://evil"}};
    request.body = "{\"n\":\"\xE9\xAB\x99\"}";
    ScriptEvent event;
    std::string why;
    ASSERT_TRUE(ScriptRequestEvent(request, event, why)) << why;
    EXPECT_EQ(event.method, kMethodPatch);
    EXPECT_EQ(event.url, request.url);
    EXPECT_EQ(event.data, request.body);
    // The Origin the engine sent, first; what the sender writes itself or only an engine may
    // set is left out.
    EXPECT_EQ(SplitRowHeaders(event.headers), (HeaderEntries{{"Origin", "http://h"},
                                                             {"Content-Type", "application/json"},
                                                             {"X-CSRF-Token", "t0k"}}));

    // A body of several lines is escaped, and read back whole.
    request.method = "POST";
    request.body =
        std::string("--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n\0x\r\n", 50);
    ASSERT_TRUE(ScriptRequestEvent(request, event, why)) << why;
    EXPECT_EQ(event.data.substr(0, 9), "%2D%2D%62");
    EXPECT_TRUE(RowBodyIsPercentEncoded(event.headers));
    EventLine row{"POST", event.url, event.data, event.headers};
    EXPECT_EQ(ScriptRowBody(row), request.body);
    EXPECT_FALSE(RowHoldsControlBytes(row));
    EXPECT_EQ(SplitRowHeaders(event.headers).front().first, "Origin");  // the mark is no header

    // Refused, each with its reason.
    request.body = std::string(kDataWidth, 'x');
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    EXPECT_NE(why.find("longer than 30719 bytes"), std::string::npos);
    request.body = std::string(11000, '\n');  // fits unescaped, not escaped
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    EXPECT_NE(why.find("longer than 10239 bytes"), std::string::npos);
    request.body = "a";
    request.method = "OPTIONS";
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    EXPECT_EQ(why, "method OPTIONS is not recorded");
    request.method = "PUT";
    request.headers = {{"X-Bad", "a\x01"}};
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    request.headers = {{"Bad Name", "a"}};
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    // A row without a URL would be the list's end to every reader.
    request.headers = {};
    request.url.clear();
    EXPECT_FALSE(ScriptRequestEvent(request, event, why));
    EXPECT_EQ(why, "it has no URL");
    EXPECT_EQ(ScriptRequestNotRecordedMessage(request, why)
                  .rfind(J("スクリプトの通信を記録できません（fetch, "), 0),
              0u);
}

}  // namespace quillrun
