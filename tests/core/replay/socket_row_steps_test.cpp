// The steps a row of the socket replay goes through, each on its own: reading and checking the
// row, making its request, and the outcome its result line gives.
#include "core/replay/socket_row_steps.h"

#include <gtest/gtest.h>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/web/url_encoding.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

class SocketRowStepsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
        run_.observer = [this](const RowResult& row) { reported_.push_back(row); };
        App().settings.SocketHostHeader = 0;
    }
    void TearDown() override { SetMessageSink(nullptr); }

    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
    SocketRun run_;
    std::vector<RowResult> reported_;
    std::vector<std::string> messages_;
};

TEST_F(SocketRowStepsTest, ARowThatCannotBeSentEndsTheReplayAndTheRowsAfterItAreSaidNotSent) {
    // Lines as the event file's reader gives them, without their CR LF.
    run_.lines = {"1\tGET\tnot-a-url\tq=1\t", "2\tURL\thttp://h/next\t\t", "3\t\t\t\t"};
    SocketRow row;
    EXPECT_FALSE(ReadSocketRow(run_, 0, row));
    ASSERT_EQ(reported_.size(), 2u);
    EXPECT_EQ(reported_[0].outcome, "row 1 not sent: its URL cannot be read");
    EXPECT_EQ(reported_[1].outcome, "row 2 not sent: the replay ended at row 1");

    reported_.clear();
    run_.lines = {"1\tURL\thttp://" + std::string(260, 'a') + "/\t\t"};
    SocketRow longHost;
    EXPECT_FALSE(ReadSocketRow(run_, 0, longHost));
    ASSERT_EQ(reported_.size(), 1u);
    EXPECT_EQ(reported_[0].outcome, "row 1 not sent: its host is longer than 259 bytes");

    // The list's end ends the replay without a word.
    reported_.clear();
    run_.lines = {"1\t\t\t\t"};
    SocketRow end;
    EXPECT_FALSE(ReadSocketRow(run_, 0, end));
    EXPECT_TRUE(reported_.empty());

    SocketRow read;
    run_.lines = {"1\tGET\thttp://h:8080/s.cgi#part\tq=1\t"};
    ASSERT_TRUE(ReadSocketRow(run_, 0, read));
    EXPECT_EQ(read.wireUrl, "http://h:8080/s.cgi");  // the fragment belongs to the page
    EXPECT_EQ(read.url.path, "/s.cgi");
    EXPECT_FALSE(read.script);
}

TEST_F(SocketRowStepsTest, TheRequestOfAMultipartRowAScriptRowAndATlsRow) {
    std::string body =
        "------B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n------B--";
    std::string stored = body;
    ASSERT_TRUE(PercentEncodeAll(stored));
    std::string script =
        FormatEventLine(2, "PUT", "https://h:8443/api", "{\"a\":1}",
                        "Content-Type: application/json\x1fOrigin: https://h:8443");
    run_.lines = {"1\tPOST\thttp://h/up.cgi\t" + stored + "\t",
                  script.substr(0, script.size() - 2)};
    SocketRow multipart;
    ASSERT_TRUE(ReadSocketRow(run_, 0, multipart));
    MakeSocketRequest(run_, multipart);
    EXPECT_EQ(multipart.request.data, body);  // decoded for the wire
    EXPECT_EQ(multipart.request.contentLength, static_cast<int>(body.size()));
    EXPECT_TRUE(multipart.request.host.empty());  // plain rows send no Host:
    EXPECT_EQ(multipart.target.port, 80);
    EXPECT_TRUE(multipart.sends);

    SocketRow scriptRow;
    ASSERT_TRUE(ReadSocketRow(run_, 1, scriptRow));
    EXPECT_TRUE(scriptRow.script);
    MakeSocketRequest(run_, scriptRow);
    EXPECT_EQ(scriptRow.request.method, "PUT");
    EXPECT_EQ(scriptRow.request.data, "{\"a\":1}");
    EXPECT_TRUE(scriptRow.target.tls);
    EXPECT_EQ(scriptRow.request.host, "h:8443");  // TLS rows name the server they ask
    EXPECT_TRUE(scriptRow.sends);
    EXPECT_NE(FormatSocketRequest(scriptRow.request).find("Content-Type: application/json\r\n"),
              std::string::npos);
}

TEST_F(SocketRowStepsTest, TheOutcomeSaysWhatTheExchangeCameTo) {
    SocketRow row;
    row.row.method = "GET";
    row.exchange.received = true;
    row.exchange.response = "HTTP/1.1 302 Found\r\nLocation: /\r\n\r\n";
    EXPECT_EQ(SocketRowOutcome(row), "HTTP/1.1 302 Found");
    row.exchange = Exchange();
    row.exchange.failure = NetFailure::Resolve;
    EXPECT_EQ(SocketRowOutcome(row), "host not found");
    row.exchange.failure = NetFailure::Connect;
    EXPECT_EQ(SocketRowOutcome(row), "connection failed");
    row.exchange.failure = NetFailure::None;
    row.row.method = "HEAD";
    EXPECT_EQ(SocketRowOutcome(row), "not sent: method HEAD");
    row.failed = "timed out";
    EXPECT_EQ(SocketRowOutcome(row), "timed out");  // the failure's own line wins

    // The result line of a GET row carries its query; a failed row is not ok.
    run_.observer = [this](const RowResult& r) { reported_.push_back(r); };
    SocketRow get;
    get.row.method = "GET";
    get.row.url = "http://h/s.cgi";
    get.row.data = "q=1";
    get.exchange.received = true;
    get.exchange.response = "HTTP/1.0 500 Oops\r\n\r\nbody";
    ReportSocketRow(run_, get);
    ASSERT_EQ(reported_.size(), 1u);
    EXPECT_EQ(reported_[0].url, "http://h/s.cgi?q=1");
    EXPECT_FALSE(reported_[0].ok);
    EXPECT_EQ(reported_[0].responseText, "body");
    EXPECT_EQ(reported_[0].bytes, get.exchange.response.size());
}

// A login that answers with a redirect: the page it leads to is read as the browser would
// show it, hop by hop with the cookies each hop sets, at most five hops and never to another
// host than the row's.
TEST_F(SocketRowStepsTest, RedirectsBeforeARowAreFollowedWithinTheirBounds) {
    std::vector<std::string> sent;
    run_.exchange = [&sent](const Endpoint& target, const std::string& text, const SentHook&) {
        sent.push_back(target.host + " " + text);
        Exchange answer;
        answer.received = true;
        answer.response = "HTTP/1.0 302 Found\r\nLocation: /next?n=" + std::to_string(sent.size()) +
                          "#top\r\nSet-Cookie: hop=" + std::to_string(sent.size()) + "\r\n\r\n";
        return answer;
    };
    SocketRow row;
    ASSERT_TRUE(SplitUrl("http://h/book", row.url));
    run_.previousUrl = "http://H/login";
    run_.previousAnswer = "HTTP/1.0 303 See Other\r\nLocation: app/form#f\r\n\r\n";
    FollowRedirectsBefore(run_, row);
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kRedirectHopsFollowed));       // a loop ends
    EXPECT_EQ(sent[0].rfind("H GET /app/form?  HTTP/1.0\r\n", 0), 0u) << sent[0];  // no fragment
    EXPECT_EQ(sent[0].find("Cookie:"), std::string::npos);
    EXPECT_EQ(sent[1].rfind("H GET /next?n=1  HTTP/1.0\r\n", 0), 0u) << sent[1];
    EXPECT_EQ(sent[1].find("Cookie:"), std::string::npos);  // hop=1 belongs to /app
    EXPECT_NE(sent[2].find("Cookie: hop=2; "), std::string::npos) << "a hop's cookie is kept";
    ASSERT_EQ(row.notes.size(), sent.size());
    EXPECT_EQ(row.notes[0], "redirect followed: GET http://H/app/form -> HTTP/1.0 302 Found");
    EXPECT_EQ(run_.previousUrl, "http://H/next?n=4");  // the page read last feeds the tokens
    EXPECT_EQ(messages_.size(), sent.size());

    // Another host is not followed, and says so; an answer that does not redirect is read as it
    // is.
    sent.clear();
    SocketRow other;
    ASSERT_TRUE(SplitUrl("http://h/book", other.url));
    run_.previousUrl = "http://h/login";
    run_.previousAnswer = "HTTP/1.0 302 Found\r\nLocation: http://elsewhere.example/x\r\n\r\n";
    FollowRedirectsBefore(run_, other);
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(other.notes.size(), 1u);
    EXPECT_EQ(other.notes[0], "redirect to http://elsewhere.example/x not followed: another site");
    run_.previousAnswer = "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n";
    FollowRedirectsBefore(run_, other);
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(other.notes.size(), 2u);
    EXPECT_EQ(other.notes[1], "redirect without a Location not followed");
    run_.previousAnswer = "HTTP/1.0 200 OK\r\nLocation: /x\r\n\r\n";
    FollowRedirectsBefore(run_, other);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(other.notes.size(), 2u);
}

TEST_F(SocketRowStepsTest, AnAnswerBeforeTooDeepToParseLeavesTheRowAsRecordedAndIsSaid) {
    run_.freshHidden = true;
    run_.previousUrl = "http://h/form.html";
    std::string deep;
    for (int i = 0; i < 80000; ++i)
        deep += "<div>";
    run_.previousAnswer = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n" +
                          deep + "<form action=/post.cgi><input type=hidden name=_token value=new>";
    run_.lines = {"1\tPOST\thttp://h/post.cgi\t_token=old&a=1\t"};
    SocketRow row;
    ASSERT_TRUE(ReadSocketRow(run_, 0, row));
    RefreshSocketRowTokens(run_, row);
    EXPECT_EQ(row.row.data, "_token=old&a=1");
    ASSERT_EQ(row.notes.size(), 1u);
    EXPECT_EQ(row.notes[0],
              "answer before not read (the page nests 80001 elements deep, more than a parser "
              "should walk): sent as recorded");
    ASSERT_FALSE(messages_.empty());
    EXPECT_NE(messages_.back().find(J("記録した値で送ります")), std::string::npos);
}

}  // namespace
}  // namespace quillrun
