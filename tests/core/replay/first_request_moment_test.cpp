// A run's first request made ready ahead and written at its moment: the connection (and TLS
// session) opened before, only the write at the moment, a dropped connection opened again, and
// the bytes on the wire the same as for a run without a moment.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/replay/server_clock.h"
#include "core/replay/socket_sender.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

long long MicrosecondsOf(const LocalTime& t) {
    return WallMillisecondsOf(t) * 1000;
}

class FirstRequestMomentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        test::WriteFile(dir_ / "trust.pem", trusted_.certificatePem);
        ::setenv("SSL_CERT_FILE", (dir_ / "trust.pem").c_str(), 1);
        ::setenv("SSL_CERT_DIR", (dir_ / "event").c_str(), 1);
        SetActivityLog(dir_ / "quillrun.log", &trace_);
        SocketSenderOptions options;
        options.pauseMilliseconds = 0;
        SetSocketSenderOptions(options);
        SetMessageSink([this](const std::string& text) {
            std::lock_guard<std::mutex> guard(lock_);
            messages_.push_back(text);
        });
        App().settings.CGITestMode = 0;
    }
    void TearDown() override {
        SetSocketSenderOptions({});
        SetMessageSink(nullptr);
        SetActivityLog("", nullptr);
        ::unsetenv("SSL_CERT_FILE");
        ::unsetenv("SSL_CERT_DIR");
    }
    LocalTime Soon(int milliseconds) {
        return FromEpochMilliseconds(ToEpochMilliseconds(CurrentClock().Now()) + milliseconds);
    }
    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> guard(lock_);
        return messages_;
    }

    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
    std::int32_t trace_ = 0;
    test::TestCertificate trusted_ = test::TestCertificate::Make();
    std::mutex lock_;
    std::vector<std::string> messages_;
};

}  // namespace

TEST_F(FirstRequestMomentTest, TheConnectionIsOpenedAheadAndOnlyTheWriteWaitsForTheMoment) {
    for (bool tls : {false, true}) {
        test::LoopbackHttpServer plain;
        test::LoopbackHttpServer secure{nullptr, trusted_};
        test::LoopbackHttpServer& server = tls ? secure : plain;
        test::WriteFile(dir_ / "event/t.evf", "1\tURL\t" + server.Url("/first") + "\tq=1\t\r\n" +
                                                  "2\tPOST\t" + server.Url("/second") +
                                                  "\ta=b\t\r\n");
        FirstRequestMoment moment;
        moment.at = Soon(800);
        LocalTime written{};
        moment.written = [&](const LocalTime& firstByte) { written = firstByte; };
        std::vector<RowResult> rows;
        SocketReplayThread(
            dir_ / "event/t.evf", [&](const RowResult& row) { rows.push_back(row); }, &moment);

        ASSERT_EQ(server.RequestCount(), 2u) << tls;
        test::ReceivedRequest first = server.Requests()[0];
        long long at = MicrosecondsOf(moment.at);
        // Connected (and the TLS session made) well before the moment; the request not before.
        EXPECT_LT(first.acceptedMicroseconds, at - 300000) << tls;
        EXPECT_GE(first.firstByteMicroseconds, at) << tls;
        EXPECT_GE(ToEpochMilliseconds(written), ToEpochMilliseconds(moment.at));
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(DateTimeText(rows[0].at), DateTimeText(written));  // the row says when it went
        // The same bytes as a run without a moment.
        std::string host = tls ? "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n" : "";
        EXPECT_EQ(first.raw,
                  "GET /first?q=1  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n" + host + "\r\n");
        EXPECT_EQ(server.Requests()[1].method, "POST");
    }
    // The log's line of the first request says when its first byte went, to the millisecond.
    std::string log = test::ReadFile(dir_ / "quillrun.log");
    std::size_t sentLines = 0;
    for (std::size_t at = log.find(" sent:"); at != std::string::npos;
         at = log.find(" sent:", at + 1))
        ++sentLines;
    EXPECT_EQ(sentLines, 2u) << log;  // one per run: the rows after the first are as before
}

TEST_F(FirstRequestMomentTest, AConnectionTheServerDroppedIsOpenedAgainBeforeTheMoment) {
    // A server that closes the first connection at once, as one with a short idle limit would,
    // and answers on the next.
    std::uint16_t port = 0;
    int listener = test::ListenOnLoopback(port);
    ASSERT_GE(listener, 0);
    std::atomic<int> connections{0};
    std::string received;
    std::thread server([&] {
        for (int n = 0; n < 2; ++n) {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return;
            int fd = ::accept(listener, nullptr, nullptr);
            ++connections;
            if (n == 0) {
                ::close(fd);
                continue;
            }
            char buffer[4096];
            ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
            if (got > 0)
                received.assign(buffer, static_cast<std::size_t>(got));
            std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
            ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(fd);
        }
    });
    test::WriteFile(dir_ / "event/t.evf",
                    "1\tURL\thttp://127.0.0.1:" + std::to_string(port) + "/x\t\t\r\n");
    FirstRequestMoment moment;
    moment.at = Soon(700);
    std::vector<RowResult> rows;
    SocketReplayThread(
        dir_ / "event/t.evf", [&](const RowResult& row) { rows.push_back(row); }, &moment);
    server.join();
    ::close(listener);
    EXPECT_EQ(connections.load(), 2);
    EXPECT_EQ(received, "GET /x?  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n\r\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].ok) << rows[0].outcome;
    bool said = false;
    for (const std::string& m : Messages())
        said = said || m.find(J("開き直しました")) != std::string::npos;
    EXPECT_TRUE(said);
}

TEST(ServerClock, TheOffsetOfAServerWhoseDateIsShiftedIsFoundWithinItsUncertainty) {
    for (long long shift : {2345LL, -700LL}) {
        test::LoopbackHttpServer server([shift](const test::ReceivedRequest&) {
            long long serverMs = WallNowMs() + shift;
            time_t seconds = static_cast<time_t>(serverMs / 1000);
            struct tm parts;
            gmtime_r(&seconds, &parts);
            char date[64];
            strftime(date, sizeof(date), "%a, %d %b %Y %H:%M:%S GMT", &parts);
            return test::Reply::Ok("", "text/html", std::string("Date: ") + date + "\r\n");
        });
        ServerClockLimits limits;
        limits.milliseconds = 6000;
        ServerClockEstimate estimate =
            EstimateServerClock([&] { return SampleDate(server.Url("/")); }, limits);
        ASSERT_TRUE(estimate.ok) << estimate.error;
        EXPECT_LE(estimate.requests, limits.requests);
        EXPECT_LE(std::llabs(estimate.offsetMs - shift), estimate.uncertaintyMs + 2)
            << estimate.offsetMs << " +- " << estimate.uncertaintyMs;
        EXPECT_LT(estimate.uncertaintyMs, 60);
    }
    // The request asks for the URL's own path.
    test::LoopbackHttpServer asked;
    SampleDate(asked.Url("/status/now?x=1#top"));
    ASSERT_EQ(asked.RequestCount(), 1u);
    EXPECT_EQ(asked.Requests()[0].method, "HEAD");
    EXPECT_EQ(asked.Requests()[0].target, "/status/now?x=1");

    long long seconds = 0;
    EXPECT_TRUE(ParseHttpDate("Tue, 08 Dec 2026 10:00:00 GMT", seconds));
    EXPECT_EQ(seconds, 1796724000LL);
    EXPECT_FALSE(ParseHttpDate("yesterday", seconds));
}

}  // namespace quillrun
