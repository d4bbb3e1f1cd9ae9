#include "core/web/form_encoding.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"

namespace quillrun {

TEST(FormEncoding, CharsetFromAcceptCharsetThenTheDocument) {
    EXPECT_EQ(FormEncodingName("", "UTF-8"), "UTF-8");
    EXPECT_EQ(FormEncodingName("", "Shift_JIS"), "CP932");
    EXPECT_EQ(FormEncodingName("bogus Shift_JIS", "UTF-8"), "CP932");
    EXPECT_EQ(FormEncodingName("euc-jp", "Shift_JIS"), "EUC-JP-MS");
    EXPECT_EQ(FormEncodingName("", "UTF-16LE"), "UTF-8");
    EXPECT_EQ(FormEncodingName("", ""), "UTF-8");
}

TEST(FormEncoding, UrlencodedAsTheBrowserSendsIt) {
    FormSubmission form{"application/x-www-form-urlencoded",
                        "",
                        "Shift_JIS",
                        {{"q", "あ い~*", false, "", "", false, "", ""},
                         {"n\n", "a\nb", false, "", "", false, "", ""},
                         {"x", "€¥", false, "", "", false, "", ""}}};
    EXPECT_EQ(EncodeFormBody(form, ""), "q=%82%A0+%82%A2%7E*&n%0D%0A=a%0D%0Ab&x=%26%238364%3B%5C");
    form.documentCharset = "UTF-8";
    EXPECT_EQ(EncodeFormBody(form, ""),
              "q=%E3%81%82+%E3%81%84%7E*&n%0D%0A=a%0D%0Ab&x=%E2%82%AC%C2%A5");
    form.documentCharset = "Shift_JIS";
    form.entries = {{"e", "😀", false, "", "", false, "", ""}};
    EXPECT_EQ(EncodeFormBody(form, ""), "e=%26%23128512%3B");  // "&#128512;"
}

// A body's pairs are rewritten one by one and joined again: the empty pairs a recorded body may
// hold ("a=1&&b=", a trailing "&") must come back where they stood.
TEST(FormEncoding, UrlencodedPairsJoinBackToTheBody) {
    using Pairs = std::vector<std::string>;
    EXPECT_EQ(UrlencodedPairs("a=1&b=%26&c"), (Pairs{"a=1", "b=%26", "c"}));
    EXPECT_EQ(UrlencodedPairs(""), (Pairs{""}));
    EXPECT_EQ(UrlencodedPairs("&"), (Pairs{"", ""}));
    EXPECT_EQ(UrlencodedPairs("a=1&&b=&"), (Pairs{"a=1", "", "b=", ""}));
    for (const char* body : {"", "&", "a", "a=1&&b=&", "&x=y", "q=%82%A0+%82%A2"})
        EXPECT_EQ(JoinUrlencodedPairs(UrlencodedPairs(body)), body) << body;
}

TEST(FormEncoding, TheEnginesOwnBytesAreSentAsTheyCame) {
    // In a Shift_JIS page the engine sends ¢ as "&#162;" and ¦ as FA 55; its bytes are taken
    // as they came, line breaks made CR LF.
    FormEntry entry{"n", "\xC2\xA2\xC2\xA6\n", false, "", "", true, "n", "&#162;\xFA\x55\n"};
    FormSubmission form{"application/x-www-form-urlencoded", "", "Shift_JIS", {entry}};
    EXPECT_EQ(EncodeFormBody(form, ""), "n=%26%23162%3B%FAU%0D%0A");
    form.enctype = "text/plain";
    EXPECT_EQ(EncodeFormBody(form, ""), "n=&#162;\xFA\x55%0D%0A%0D%0A");
}

TEST(FormEncoding, TextPlainAndMultipart) {
    FormSubmission form{
        "text/plain",
        "",
        "UTF-8",
        {{"a", "1 2", false, "", "", false, "", ""}, {"b", "x", false, "", "", false, "", ""}}};
    // The line ends the engine sends are stored percent-encoded: an event's data is one field.
    EXPECT_EQ(EncodeFormBody(form, ""), "a=1 2%0D%0Ab=x%0D%0A");

    form.enctype = "multipart/form-data";
    form.entries = {{"t\"x", "v\n", false, "", "", false, "", ""},
                    {"f", std::string("\x00\x01", 2), true, "a.bin", "", false, "", ""},
                    {"g", "hi", true, "b.txt", "text/plain", false, "", ""}};
    std::string boundary = MakeFormBoundary();
    EXPECT_EQ(boundary.size(), 22u + 16u);
    EXPECT_EQ(boundary.substr(0, 22), "----WebKitFormBoundary");
    EXPECT_EQ(EncodeFormBody(form, "----B"),
              "------B\r\nContent-Disposition: form-data; name=\"t%22x\"\r\n\r\nv\r\n\r\n"
              "------B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.bin\"\r\n"
              "Content-Type: application/octet-stream\r\n\r\n" +
                  std::string("\x00\x01", 2) +
                  "\r\n"
                  "------B\r\nContent-Disposition: form-data; name=\"g\"; filename=\"b.txt\"\r\n"
                  "Content-Type: text/plain\r\n\r\nhi\r\n"
                  "------B--\r\n");
}

}  // namespace quillrun
