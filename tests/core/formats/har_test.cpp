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

// HARs of producers that do not name each request's purpose (Firefox, proxies, viewers): pages
// are told from subresources by what each writes, and a post that holds only its fields gets
// its body back from them.
TEST(HarImport, PagesAreToldFromSubresourcesByWhatEveryProducerWritesAndFieldsMakeTheBody) {
    auto entry = [](const std::string& method, const std::string& url, const std::string& headers,
                    const std::string& answerType, const std::string& post = "") {
        return R"({"request":{"method":")" + method + R"(","url":")" + url + R"(","headers":[)" +
               headers + "]" + post +
               R"(},"response":{"status":200,"content":{"size":0,"mimeType":")" + answerType +
               R"("}}})";
    };
    auto header = [](const std::string& name, const std::string& value) {
        return R"({"name":")" + name + R"(","value":")" + value + R"("})";
    };
    std::string h = "http://127.0.0.1";
    std::vector<std::string> entries = {
        // Firefox: the fetch destination.
        entry("GET", h + "/page", header("Sec-Fetch-Dest", "document"), "text/html"),
        entry("GET", h + "/a.png", header("Sec-Fetch-Dest", "image"), "image/png"),
        entry("GET", h + "/s.css", header("Sec-Fetch-Dest", "style"), "text/css"),
        entry("GET", h + "/api/list", header("Sec-Fetch-Dest", "empty"), "application/json"),
        // A proxy: the answer's type, then Accept, then the extension.
        entry("GET", h + "/favicon.ico", "", "image/x-icon"),
        entry("GET", h + "/app.js?v=1", "", "application/javascript; charset=utf-8"),
        entry("GET", h + "/next", header("Accept", "text/html,application/xhtml+xml,*/*"), ""),
        entry("GET", h + "/font.woff2", "", ""),
        entry("GET", h + "/data", header("X-Requested-With", "XMLHttpRequest"), "text/plain"),
        // Posts that hold only their fields, decoded (Firefox) or as sent (Chrome).
        entry("POST", h + "/login", header("Sec-Fetch-Dest", "document"), "text/html",
              R"(,"postData":{"mimeType":"application/x-www-form-urlencoded","params":[
                 {"name":"user","value":"山田 太郎"},{"name":"memo","value":"a&b=c"},
                 {"name":"token","value":"x%2By"}]})"),
        entry("POST", h + "/upload", header("Sec-Fetch-Dest", "document"), "text/html",
              R"(,"postData":{"mimeType":"multipart/form-data; boundary=----B1","params":[
                 {"name":"title","value":"t"},
                 {"name":"file","fileName":"a.txt","contentType":"text/plain","value":"hello"}]})"),
    };
    std::string har = R"({"log":{"version":"1.2","entries":[)";
    for (std::size_t k = 0; k < entries.size(); ++k)
        har += (k ? "," : "") + entries[k];
    har += "]}}";
    HarImport imported = ImportHar(har, {});
    ASSERT_TRUE(imported.readable);
    std::vector<std::string> said = {
        "entry 2 (GET http://127.0.0.1/a.png) left out: a image request, not a page",
        "entry 3 (GET http://127.0.0.1/s.css) left out: a stylesheet request, not a page",
        "entry 4 (GET http://127.0.0.1/api/list) left out: a fetch request, not a page",
        "entry 5 (GET http://127.0.0.1/favicon.ico) left out: a image request, not a page",
        "entry 6 (GET http://127.0.0.1/app.js?v=1) left out: a script request, not a page",
        "entry 8 (GET http://127.0.0.1/font.woff2) left out: a font request, not a page",
        "entry 9 (GET http://127.0.0.1/data) left out: a xhr request, not a page"};
    EXPECT_EQ(imported.leftOut, said);
    std::string multipart =
        "------B1\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nt\r\n"
        "------B1\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\nhello\r\n------B1--\r\n";
    ASSERT_TRUE(PercentEncodeAll(multipart));
    EXPECT_EQ(
        imported.eventFile,
        FormatEventLine(1, "URL", h + "/page", "") + FormatEventLine(2, "URL", h + "/next", "") +
            FormatEventLine(3, "POST", h + "/login",
                            "user=%E5%B1%B1%E7%94%B0+%E5%A4%AA%E9%83%8E&memo=a%26b%3Dc&"
                            "token=x%2By") +
            FormatEventLine(4, "POST", h + "/upload", multipart) + FormatEventLine(5, "", "", ""));
}

}  // namespace
}  // namespace quillrun
