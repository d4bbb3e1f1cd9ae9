// The browser replay's POST, GET form and script rows reach a site that checks where a request
// comes from (as Django's CSRF middleware does: the Origin must be the site's own, a Referer
// given must be of the site) with the Origin and Referer of the page shown, as if the page had
// sent them, and with the body bytes as recorded.
#include <gtest/gtest.h>

#include <QTest>
#include <mutex>

#include "core/platform/message_sink.h"
#include "core/replay/browser_replay.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/browser/web_engine_browser.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/token_site.h"

namespace quillrun {
namespace {

std::string Html(const std::string& body) {
    return "<html><head><meta charset=\"UTF-8\"></head><body>" + body + "</body></html>";
}

// A site that refuses a state-changing request from anywhere but its own pages.
test::Reply OriginChecked(const test::ReceivedRequest& r, const std::string& page) {
    std::string own = "http://" + r.Header("host");
    std::string origin = r.Header("origin");
    std::string referer = r.Header("referer");
    bool unsafe = r.method != "GET" && r.method != "HEAD";
    if (unsafe && origin != own) {
        test::Reply refused;
        std::string why = "Origin checking failed - " + (origin.empty() ? "none" : origin) +
                          " does not match any trusted origins.";
        refused.raw = "HTTP/1.0 403 Forbidden\r\nContent-Length: " + std::to_string(why.size()) +
                      "\r\n\r\n" + why;
        return refused;
    }
    if (unsafe && !referer.empty() && referer.rfind(own + "/", 0) != 0) {
        test::Reply refused;
        refused.raw = "HTTP/1.0 403 Forbidden\r\nContent-Length: 16\r\n\r\nReferer mismatch";
        return refused;
    }
    return test::Reply::Ok(Html(page));
}

// Qt's warnings about addresses, which the replay must never print on --run's output.
std::mutex qtWarningsLock;
std::vector<std::string> qtUrlWarnings;
QtMessageHandler previousHandler = nullptr;

void KeepUrlWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QStringLiteral("QUrl"))) {
        std::lock_guard<std::mutex> lock(qtWarningsLock);
        qtUrlWarnings.push_back(text.toStdString());
    }
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
}

class RequestOriginTest : public test::GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        {
            std::lock_guard<std::mutex> lock(qtWarningsLock);
            qtUrlWarnings.clear();
        }
        previousHandler = qInstallMessageHandler(KeepUrlWarnings);
        browser_ = std::make_unique<WebEngineBrowser>(nullptr, QString());
        SetMessageSink([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(messagesLock_);
            messages_.push_back(text);
        });
    }
    void TearDown() override {
        qInstallMessageHandler(previousHandler);
        SetMessageSink(nullptr);
        browser_.reset();
        GuiProgramTest::TearDown();
    }
    std::vector<RowResult> Replay(const std::string& lines, bool freshTokens = false) {
        test::WriteFile(dir_ / "event/o.evf", lines);
        EventLoopWaiter waiter;
        std::vector<RowResult> rows;
        BrowserReplayFile(
            dir_ / "event/o.evf", *browser_, waiter,
            [&rows](const RowResult& row) { rows.push_back(row); }, freshTokens);
        return rows;
    }
    const test::ReceivedRequest* Find(test::LoopbackHttpServer& server, const std::string& method,
                                      const std::string& prefix) {
        received_ = server.Requests();
        for (const auto& r : received_) {
            if (r.method == method && r.target.rfind(prefix, 0) == 0)
                return &r;
        }
        return nullptr;
    }

    std::unique_ptr<WebEngineBrowser> browser_;
    std::vector<test::ReceivedRequest> received_;
    std::mutex messagesLock_;
    std::vector<std::string> messages_;
};

TEST_F(RequestOriginTest, ALoginAGetFormAndAScriptRequestComeFromThePageShown) {
    test::LoopbackHttpServer site([](const test::ReceivedRequest& r) {
        if (r.target == "/login")
            return OriginChecked(r, "<form method=post action=/session><input name=u></form>");
        if (r.target.rfind("/search", 0) == 0)
            return test::Reply::Ok(Html("found"));
        return OriginChecked(r, "welcome");
    });
    std::string login = site.Url("/login");
    std::vector<RowResult> rows = Replay(
        "1\tURL\t" + login + "\t\t\r\n" + "2\tPOST\t" + site.Url("/session") +
        "\tu=me&note=a%2Bb+c%E3%81%82\t\r\n" + "3\tGET\t" + site.Url("/search") + "\tq=1\t\r\n" +
        FormatEventLine(4, "PUT", site.Url("/api/item"), "{\"n\":1}",
                        "Content-Type: application/json\x1fOrigin: " + site.Url("")) +
        "5\t\t\t\t\r\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].outcome, "loaded");
    EXPECT_EQ(rows[1].responseText.find("Origin checking failed"), std::string::npos)
        << rows[1].responseText;
    const test::ReceivedRequest* post = Find(site, "POST", "/session");
    ASSERT_NE(post, nullptr);
    std::string own = "http://" + post->Header("host");
    EXPECT_EQ(post->Header("origin"), own);
    EXPECT_EQ(post->Header("referer"), login);
    EXPECT_EQ(post->body, "u=me&note=a%2Bb+c%E3%81%82");  // the bytes as recorded
    const test::ReceivedRequest* search = Find(site, "GET", "/search");
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search->Header("referer"), site.Url("/session"));
    EXPECT_EQ(search->Header("origin"), "");  // a GET navigation sends none
    const test::ReceivedRequest* put = Find(site, "PUT", "/api/item");
    ASSERT_NE(put, nullptr);
    EXPECT_EQ(put->Header("origin"), own);
    EXPECT_EQ(rows[3].outcome, "answered 200 OK");
    std::lock_guard<std::mutex> lock(qtWarningsLock);
    EXPECT_TRUE(qtUrlWarnings.empty()) << qtUrlWarnings.front();
}

TEST_F(RequestOriginTest, AFormOfAFrameOfAnotherOriginIsSentAsThatFrameSendsIt) {
    // The frame's site is the same server under another name: another origin.
    test::LoopbackHttpServer frameSite([](const test::ReceivedRequest& r) {
        if (r.target == "/frame.html")
            return OriginChecked(r, "<form method=post action=/vote><input name=v></form>");
        return OriginChecked(r, "voted");
    });
    std::string frameUrl = "http://localhost:" + std::to_string(frameSite.Port()) + "/frame.html";
    std::string voteUrl = "http://localhost:" + std::to_string(frameSite.Port()) + "/vote";
    test::LoopbackHttpServer top([frameUrl](const test::ReceivedRequest&) {
        return test::Reply::Ok(Html("<iframe src=\"" + frameUrl + "\"></iframe>"));
    });
    std::vector<RowResult> rows = Replay("1\tURL\t" + top.Url("/top.html") + "\t\t\r\n" +
                                         "2\tPOST\t" + voteUrl + "\tv=1\t\r\n" + "3\t\t\t\t\r\n");
    ASSERT_EQ(rows.size(), 2u);
    const test::ReceivedRequest* vote = Find(frameSite, "POST", "/vote");
    ASSERT_NE(vote, nullptr);
    EXPECT_EQ(vote->Header("origin"), "http://localhost:" + std::to_string(frameSite.Port()));
    EXPECT_EQ(vote->Header("referer"), frameUrl);
    EXPECT_EQ(rows[1].responseText.find("Origin checking failed"), std::string::npos);
    std::lock_guard<std::mutex> lock(messagesLock_);
    bool said = false;
    for (const std::string& m : messages_)
        said = said || m.find(frameUrl) != std::string::npos;
    EXPECT_TRUE(said) << "the message list says the row goes from the frame";
}

TEST_F(RequestOriginTest, TokensOfTheLivePageReachAFormAfterARedirectAHeaderAndAJsonBody) {
    test::TokenSite site;
    test::LoopbackHttpServer server(
        [&site](const test::ReceivedRequest& r) { return site.Serve(r); });
    std::string origin = server.Url("");
    std::string file =
        "1\tURL\t" + server.Url("/login") + "\t\t\r\n" + "2\tPOST\t" + server.Url("/login") +
        "\tcsrf=t9-1&user=me\t\r\n" + "3\tPOST\t" + server.Url("/book") +
        "\tcsrf=t9-2&seat=1\t\r\n" + "4\tURL\t" + server.Url("/app") + "\t\t\r\n" +
        FormatEventLine(
            5, "POST", server.Url("/api/order"), "{\"authenticity_token\":\"old\",\"n\":2}",
            "Content-Type: application/json\x1fX-CSRF-Token: old\x1fOrigin: " + origin) +
        FormatEventLine(
            6, "PUT", server.Url("/api/seat"), "{}",
            "Content-Type: application/json\x1fX-XSRF-TOKEN: xold=\x1fOrigin: " + origin) +
        "7\t\t\t\t\r\n";
    std::vector<RowResult> rows = Replay(file, true);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_NE(rows[2].responseText.find("booked"), std::string::npos) << rows[2].responseText;
    EXPECT_EQ(rows[4].outcome, "answered 200 OK");
    EXPECT_EQ(rows[5].outcome, "answered 200 OK");
    const test::ReceivedRequest* order = Find(server, "POST", "/api/order");
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(order->Header("origin"), origin);
    std::vector<std::string> notes = {"token header X-CSRF-Token refreshed",
                                      "token field authenticity_token refreshed"};
    EXPECT_EQ(rows[4].notes, notes);
}

}  // namespace
}  // namespace quillrun
