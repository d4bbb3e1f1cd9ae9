// HAR files: the rows' requests written as the program has always written them, and an event
// file made of a browser's HAR.
#include "core/formats/har.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"
#include "core/recording/event_line.h"

namespace quillrun {
namespace {

TEST(HarDocument, WritesTheBytesItHasAlwaysWrittenControlCharactersAsEscapes) {
    std::vector<WireRequest> requests;
    requests.push_back({"GET", "http://h/a?x=1&z", {{"Cookie", "s=1"}}, ""});
    requests.push_back({"POST",
                        "http://h/p",
                        {{"Content-Type", "text/plain"}, {"X-T", "\x82\xa0"}},
                        "b=\t\"\\\x01\x08\x0c"});
    const char* entry =
        "\"response\":{\"status\":0,\"statusText\":\"\",\"httpVersion\":\"\",\"cookies\":[],"
        "\"headers\":[],\"content\":{\"size\":0,\"mimeType\":\"\"},\"redirectURL\":\"\","
        "\"headersSize\":-1,\"bodySize\":-1},\"cache\":{},\"timings\":{\"send\":0,\"wait\":0,"
        "\"receive\":0},";
    std::string expected =
        std::string(
            "{\"log\":{\"version\":\"1.2\",\"creator\":{\"name\":\"quillrun\",\"version\":"
            "\"1.10\"},\"pages\":[],\"entries\":[\n") +
        "{\"startedDateTime\":\"2026-12-08T22:14:30.241\",\"time\":0,\"request\":{\"method\":"
        "\"GET\",\"url\":\"http://h/a?x=1&z\",\"httpVersion\":\"HTTP/1.0\",\"cookies\":[],"
        "\"headers\":[{\"name\":\"Cookie\",\"value\":\"s=1\"}],\"queryString\":[{\"name\":\"x\","
        "\"value\":\"1\"},{\"name\":\"z\",\"value\":\"\"}],\"headersSize\":-1,\"bodySize\":0}," +
        entry + "\"comment\":\"row 1\"},\n" +
        "{\"startedDateTime\":\"2026-12-08T22:14:30.241\",\"time\":0,\"request\":{\"method\":"
        "\"POST\",\"url\":\"http://h/p\",\"httpVersion\":\"HTTP/1.0\",\"cookies\":[],"
        "\"headers\":[{\"name\":\"Content-Type\",\"value\":\"text/plain\"},{\"name\":\"X-T\","
        "\"value\":\"\xe3\x81\x82\"}],\"queryString\":[],\"postData\":{\"mimeType\":"
        "\"text/plain\",\"text\":\"b=\\t\\\"\\\\\\u0001\\u0008\\u000c\"},\"headersSize\":-1,"
        "\"bodySize\":8}," +
        entry + "\"comment\":\"row 2\"}\n]}}\n";
    EXPECT_EQ(HarDocument(requests, "2026-12-08T22:14:30.241"), expected);
}

TEST(HarImport, PagesFormPostsAndScriptRequestsBecomeRowsAndEveryOtherEntryIsSaidWithItsReason) {
    std::string har = R"HAR({"log":{"version":"1.2","entries":[
      {"_resourceType":"document","request":{"method":"GET","url":"http://127.0.0.1:8080/login?next=%2Fa#top"}},
      {"_resourceType":"image","request":{"method":"GET","url":"http://127.0.0.1:8080/logo.png"}},
      {"request":{"method":"GET","url":"http://127.0.0.1:8080/plain?"}},
      {"_resourceType":"document","request":{"method":"POST","url":"http://127.0.0.1:8080/login",
        "postData":{"mimeType":"application/x-www-form-urlencoded","text":"user=me&pass=x"}}},
      {"_resourceType":"fetch","request":{"method":"PUT","url":"http://127.0.0.1:8080/api",
        "headers":[{"name":"Content-Type","value":"application/json"},
                   {"name":"Referer","value":"http://127.0.0.1:8080/page"}],
        "postData":{"mimeType":"application/json","text":"{\"a\":1}"}}},
      {"request":{"method":"POST","url":"http://other.example/x",
        "postData":{"mimeType":"application/x-www-form-urlencoded","text":"a=1"}}},
      {"request":{"method":"GET","url":"about:blank"}},
      {"request":{"method":"POST","url":"http://127.0.0.1:8080/up",
        "postData":{"mimeType":"application/x-www-form-urlencoded","encoding":"base64",
                    "text":"YT0x\nJmI9Mg=="}}}
    ]}})HAR";
    HarImport imported = ImportHar(har, {"127.0.0.1"});
    ASSERT_TRUE(imported.readable);
    EXPECT_EQ(imported.events, 5);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < imported.eventFile.size();) {
        std::size_t end = imported.eventFile.find("\r\n", at) + 2;
        lines.push_back(imported.eventFile.substr(at, end - at));
        at = end;
    }
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "1\tGET\thttp://127.0.0.1:8080/login\tnext=%2Fa\t\r\n");
    EXPECT_EQ(lines[1], "2\tURL\thttp://127.0.0.1:8080/plain\t\t\r\n");
    EXPECT_EQ(lines[2], "3\tPOST\thttp://127.0.0.1:8080/login\tuser=me&pass=x\t\r\n");
    EventLine script;
    ASSERT_TRUE(ParseEventLine(lines[3], script));
    EXPECT_EQ(script.method, "PUT");
    EXPECT_EQ(ScriptRowBody(script), "{\"a\":1}");
    EXPECT_NE(script.headers.find("Origin: http://127.0.0.1:8080"), std::string::npos);
    EXPECT_EQ(lines[4], "5\tPOST\thttp://127.0.0.1:8080/up\ta=1&b=2\t\r\n");
    EXPECT_EQ(lines[5], FormatEventLine(6, "", "", ""));
    std::vector<std::string> said = {
        "entry 2 (GET http://127.0.0.1:8080/logo.png) left out: a image request, not a page",
        "entry 6 (POST http://other.example/x) left out: another host",
        "entry 7 (GET about:blank) left out: not an http(s) address"};
    EXPECT_EQ(imported.leftOut, said);
}

TEST(HarImport, TextThatIsNoHarIsRefusedAndAnExportReadsBackAsItsRows) {
    for (const char* refused : {"", "not json", "[1,2]", "{\"log\":[]}", "{\"entries\":[]}"}) {
        HarImport imported = ImportHar(refused, {});
        EXPECT_FALSE(imported.readable) << refused;
        EXPECT_TRUE(imported.eventFile.empty()) << refused;
    }
    HarImport empty = ImportHar("{\"log\":{}}", {});
    ASSERT_TRUE(empty.readable);
    EXPECT_EQ(empty.events, 0);
    EXPECT_EQ(empty.eventFile, FormatEventLine(1, "", "", ""));

    std::vector<WireRequest> requests;
    requests.push_back({"GET", "http://h:81/a?q=%82%A0", {{"User-Agent", "Tindrel/2.0"}}, ""});
    requests.push_back({"POST",
                        "http://h:81/b",
                        {{"Content-Type", "application/x-www-form-urlencoded"}},
                        "k=v&t=1"});
    HarImport back = ImportHar(HarDocument(requests, "2026-12-08T00:00:00.000"), {});
    EXPECT_EQ(back.events, 2);
    EXPECT_EQ(back.eventFile, FormatEventLine(1, "GET", "http://h:81/a", "q=%82%A0") +
                                  FormatEventLine(2, "POST", "http://h:81/b", "k=v&t=1") +
                                  FormatEventLine(3, "", "", ""));
}

TEST(HarImport, AnEntryWithControlBytesInAnyFieldIsRefusedAndNeverWritesARowItDoesNotAnnounce) {
    // A CR LF in an address would start a row of its own, for another host.
    std::string har = R"HAR({"log":{"entries":[
      {"request":{"method":"GET","url":"http://127.0.0.1/a\r\n2\tPOST\thttp://evil.example/x\ta=1\t"}},
      {"request":{"method":"GET","url":"http://127.0.0.1/b\tq"}},
      {"request":{"method":"PO\u001bST","url":"http://127.0.0.1/c"}},
      {"request":{"method":"POST","url":"http://127.0.0.1/d",
        "postData":{"mimeType":"application/x-www-form-urlencoded","text":"a=1\u000bb"}}},
      {"_resourceType":"fetch","request":{"method":"PUT","url":"http://127.0.0.1/e",
        "headers":[{"name":"X-A","value":"1\r\nHost: evil.example"}],
        "postData":{"mimeType":"application/json","text":"{}"}}},
      {"_resourceType":"fetch","request":{"method":"PUT","url":"http://127.0.0.1/f",
        "headers":[{"name":"Transfer-Encoding","value":"chunked"}],
        "postData":{"mimeType":"application/json","text":"{}"}}},
      {"request":{"method":"GET","url":"http://127.0.0.1/fine"}}
    ]}})HAR";
    HarImport imported = ImportHar(har, {"127.0.0.1"});
    ASSERT_TRUE(imported.readable);
    // A header the sender writes itself, as browsers' HARs hold them, is dropped, never sent.
    EXPECT_EQ(imported.events, 2);
    EXPECT_EQ(imported.eventFile, FormatEventLine(1, "PUT", "http://127.0.0.1/f", "{}",
                                                  "Origin: http://127.0.0.1\x1f"
                                                  "Content-Type: application/json") +
                                      FormatEventLine(2, "URL", "http://127.0.0.1/fine", "") +
                                      FormatEventLine(3, "", "", ""));
    ASSERT_EQ(imported.leftOut.size(), 5u);
    EXPECT_EQ(imported.leftOut[0],
              "entry 1 (GET http://127.0.0.1/a\\x0D\\x0A2\\x09POST\\x09http://evil.example/x"
              "\\x09a=1\\x09) left out: control bytes in its method or address");
    EXPECT_EQ(imported.leftOut[2],
              "entry 3 (PO\\x1BST http://127.0.0.1/c) left out: control bytes in its method or "
              "address");
    EXPECT_NE(imported.leftOut[3].find("entry 4 "), std::string::npos);
    EXPECT_NE(imported.leftOut[4].find("entry 5 "), std::string::npos);
    for (const std::string& said : imported.leftOut)
        EXPECT_FALSE(HoldsControlByte(said)) << said;
}

}  // namespace
}  // namespace quillrun
