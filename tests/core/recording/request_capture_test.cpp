#include "core/recording/request_capture.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

class CaptureTest : public ::testing::Test {
  protected:
    CaptureTest()
        : capture_({[this](const std::string& t) { address_ = t; },
                    [this](const std::string& t) { messages_.push_back(t); },
                    [this] { return location_; }, [this] { return recording_; }, &events_,
                    [this] { return requested_; }}) {}

    // A load: the navigation starts (with a body or not), then the document completes at
    // location.
    void Load(const std::string& location, const std::string* body = nullptr) {
        capture_.OnBeforeNavigate(body);
        EXPECT_EQ(address_, J("Loading.. 読み込んでいます"));
        location_ = location;
        capture_.OnDocumentComplete();
    }
    std::string Event(int pair) {
        return events_.MethodOf(pair) + "|" + events_.UrlOf(pair) + "|" + events_.DataOf(pair);
    }

    EventList events_;
    std::string address_, location_, requested_;
    std::vector<std::string> messages_;
    bool recording_ = true;
    RequestCapture capture_;
};

}  // namespace

TEST_F(CaptureTest, EachKindOfLoadBecomesItsEvent) {
    Load("http://h/index.html");
    EXPECT_EQ(address_, "http://h/index.html");
    Load("http://h/search?q=abc");
    EXPECT_EQ(address_, "http://h/search?q=abc");
    Load("http://h/empty?");
    std::string body = "a=1&b=%82%A0";
    Load("http://h/post.cgi", &body);
    ASSERT_EQ(events_.PairCount(), 4);
    EXPECT_EQ(Event(0), "URL|http://h/index.html|");
    EXPECT_EQ(Event(1), "GET|http://h/search|q=abc");
    EXPECT_EQ(Event(2), "URL|http://h/empty|");
    EXPECT_EQ(Event(3), "POST|http://h/post.cgi|a=1&b=%82%A0");
    EXPECT_EQ(messages_.back(), J("読込完了 http://h/post.cgi"));
}

TEST_F(CaptureTest, MultipartBodiesAreStoredPercentEncodedWithEveryByte) {
    std::string body = std::string("--B\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n") +
                       std::string("\x00\xFF", 2) + "\r\n--B--\r\n";
    Load("http://h/up.cgi", &body);
    std::string data = events_.DataOf(0);
    EXPECT_EQ(data.substr(0, 6), "%2D%2D");
    EXPECT_NE(data.find(kMultipartMarker), std::string::npos);
    UrlDecode(data, 0, true);
    EXPECT_EQ(data, body);
}

TEST_F(CaptureTest, TheEventIsTheRequestNotWhereTheAnswerLed) {
    // A POST to an action with a query keeps its body and its query.
    std::string body = "a=1";
    Load("http://h/post.cgi?done=1", &body);
    EXPECT_EQ(Event(0), "POST|http://h/post.cgi?done=1|a=1");
    // A login answered by a redirect: the action, not the account page, with the body.
    requested_ = "http://h/login";
    body = "user=me&pass=pw";
    Load("http://h/account?welcome=1", &body);
    EXPECT_EQ(Event(1), "POST|http://h/login|user=me&pass=pw");
    EXPECT_EQ(address_, "http://h/account?welcome=1");
    // A GET form answered by a redirect keeps its own query.
    requested_ = "http://h/search?q=a%7Eb";
    Load("http://h/results");
    EXPECT_EQ(Event(2), "GET|http://h/search|q=a%7Eb");
    // A fragment is never recorded, nor is the page it names recorded again.
    requested_ = "http://h/p#s";
    Load("http://h/p#s");
    requested_ = "http://h/p?x=1#top";
    Load("http://h/p?x=1#top");
    requested_.clear();
    Load("http://h/p#other");
    ASSERT_EQ(events_.PairCount(), 6);
    EXPECT_EQ(Event(3), "URL|http://h/p|");
    EXPECT_EQ(Event(4), "GET|http://h/p|x=1");
    EXPECT_EQ(Event(5), "URL|http://h/p|");
}

TEST_F(CaptureTest, RedirectsAndFramesKeepTheBodyOfTheFirstStart) {
    std::string body = "a=1";
    capture_.OnBeforeNavigate(&body);
    capture_.OnBeforeNavigate(nullptr);  // a redirect or a frame: the body stays
    location_ = "http://h/result";
    capture_.OnDocumentComplete();
    EXPECT_EQ(Event(0), "POST|http://h/result|a=1");
    capture_.OnBeforeNavigate(nullptr);  // the next load starts afresh
    location_ = "http://h/next";
    capture_.OnDocumentComplete();
    EXPECT_EQ(Event(1), "URL|http://h/next|");
}

TEST_F(CaptureTest, RepeatsAreRecordedOnceUntilTheRecordingStartsAgain) {
    Load("http://h/a");
    std::size_t logged = messages_.size();
    Load("http://h/a");  // the same page again
    EXPECT_EQ(events_.PairCount(), 1);
    EXPECT_EQ(messages_.size(), logged);  // a repeat is not even logged

    capture_.ResetPreviousUrl();  // a new recording
    Load("http://h/a");
    EXPECT_EQ(events_.PairCount(), 2);

    // Not recording: logged, not recorded; the next recorded completion of the same page is
    // taken since the previous one was not recording.
    recording_ = false;
    Load("http://h/b");
    EXPECT_EQ(messages_.back(), J("読込完了 http://h/b"));
    EXPECT_EQ(events_.PairCount(), 2);
    recording_ = true;
    Load("http://h/b");
    EXPECT_EQ(events_.PairCount(), 3);
}

TEST_F(CaptureTest, OversizedBodiesAndQueriesAreCutAndSaidSo) {
    std::string body(40000, 'x');
    Load("http://h/big", &body);
    EXPECT_EQ(events_.DataOf(0).size(), 30719u);
    EXPECT_NE(messages_[messages_.size() - 2].find(J("切り詰めました")), std::string::npos);
    Load("http://h/q?" + std::string(31000, 'q'));
    EXPECT_EQ(events_.DataOf(1).size(), 30719u);
    std::string multipart = "--B\r\nform-data" + std::string(11000, 'm');
    messages_.clear();
    Load("http://h/up", &multipart);
    EXPECT_EQ(events_.DataOf(2).size(), 10239u * 3);
    EXPECT_NE(messages_[0].find(J("切り詰めました")), std::string::npos);
}

}  // namespace quillrun
