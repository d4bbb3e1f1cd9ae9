// The socket sender over TLS and to explicit ports, against loopback servers with certificates
// made at test time and trusted through the test's own store.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/replay/socket_sender.h"
#include "core/web/url_endpoint.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

test::Reply Serve(const test::ReceivedRequest& r) {
    if (r.target.rfind("/login", 0) == 0)
        return test::Reply::Ok("in", "text/html", "Set-Cookie: SID=tls1; path=/\r\n");
    return test::Reply::Ok("ok");
}

class SocketTlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        test::WriteFile(dir_ / "trust.pem", trusted_.certificatePem);
        ::setenv("SSL_CERT_FILE", (dir_ / "trust.pem").c_str(), 1);
        ::setenv("SSL_CERT_DIR", (dir_ / "event").c_str(), 1);  // nothing else is trusted
        SetActivityLog(dir_ / "quillrun.log", &trace_);
        SocketSenderOptions options;
        options.pauseMilliseconds = 0;
        SetSocketSenderOptions(options);
        SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
        App().settings.CGITestMode = 0;
    }
    void TearDown() override {
        SetSocketSenderOptions({});
        SetMessageSink(nullptr);
        SetActivityLog("", nullptr);
        App().settings.CGITestMode = 0;
        ::unsetenv("SSL_CERT_FILE");
        ::unsetenv("SSL_CERT_DIR");
    }
    void Replay(const std::string& lines) {
        test::WriteFile(dir_ / "event/t.evf", lines);
        SocketReplayThread(dir_ / "event/t.evf");
    }
    std::string Log() { return test::ReadFile(dir_ / "quillrun.log"); }

    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
    std::int32_t trace_ = 0;
    test::TestCertificate trusted_ = test::TestCertificate::Make();
    test::LoopbackHttpServer server_{Serve, trusted_};
    std::vector<std::string> messages_;
};

}  // namespace

TEST_F(SocketTlsTest, RowsOverTlsCarryTheirHostAndBringCookiesBack) {
    std::string port = std::to_string(server_.Port());
    std::string base = "https://127.0.0.1:" + port;
    Replay("1\tGET\t" + base + "/login\tq=1\t\r\n2\tPOST\t" + base + "/p.cgi\ta=1\t\r\n");
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].raw,
              "GET /login?q=1  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\nHost: 127.0.0.1:" + port +
                  "\r\n\r\n");
    EXPECT_EQ(requests[1].raw,
              "POST /p.cgi  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\nHost: 127.0.0.1:" + port +
                  "\r\nContent-Type:application/x-www-form-urlencoded\r\n"
                  "Content-Length:3\r\nCookie: SID=tls1; \r\n\r\na=1\r\n");
    EXPECT_NE(Log().find(J("HTTPリクエスト送信 https://127.0.0.1:") + port +
                         "//login cookie: port:" + port),
              std::string::npos);
    EXPECT_NE(test::ReadFile(ResponseFilePath(0)).find("Set-Cookie: SID=tls1"), std::string::npos);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SocketTlsTest, AnUntrustedCertificateIsRefusedAndNothingIsSent) {
    test::LoopbackHttpServer stranger(Serve, test::TestCertificate::Make("stranger"));
    std::string url = "https://127.0.0.1:" + std::to_string(stranger.Port());
    Replay("1\tURL\t" + url + "/a\t\t\r\n2\tURL\t" + server_.Url("/b") + "\t\t\r\n");
    EXPECT_EQ(stranger.RequestCount(), 0u);
    ASSERT_EQ(server_.RequestCount(), 1u);  // the next row goes on
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind(J("TLS の接続に失敗しました（"), 0), 0u) << messages_[0];
    EXPECT_NE(messages_[0].find("certificate"), std::string::npos) << messages_[0];
    std::string log = Log();
    EXPECT_NE(log.find(messages_[0]), std::string::npos);  // the reason is logged too
    EXPECT_NE(log.find(J("HTTPリクエスト送信 ") + url + "//a"), std::string::npos);
    EXPECT_FALSE(FileExists(ResponseFilePath(1)));
}

TEST_F(SocketTlsTest, TheSchemeAndAnExplicitPortChooseTheConnection) {
    test::LoopbackHttpServer plain;
    // An explicit port wins over everything, for http too; plain rows send no Host header.
    Replay("1\tURL\t" + plain.Url("/x") + "\t\t\r\n");
    ASSERT_EQ(plain.RequestCount(), 1u);
    EXPECT_EQ(plain.Requests()[0].raw, "GET /x?  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n\r\n");

    std::vector<std::string> seen;
    auto record = [&](const Endpoint& target, const std::string&, const SentHook&) {
        seen.push_back((target.tls ? "tls " : "tcp ") + target.host + " " +
                       std::to_string(target.port));
        return Exchange{};
    };
    std::string file =
        "1\tURL\thttp://h/a\t\t\r\n2\tURL\thttps://h/a\t\t\r\n3\tURL\thttp://h:8080/a\t\t\r\n"
        "4\tURL\tHTTPS://h:8443/a\t\t\r\n";
    test::WriteFile(dir_ / "event/p.evf", file);
    ReplayEventFile(dir_ / "event/p.evf", record, 0);
    App().settings.CGITestMode = 1;
    ReplayEventFile(dir_ / "event/p.evf", record, 0);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"tcp h 80", "tls h 443", "tcp h 8080", "tls h 8443",
                                        "tcp h 50000", "tls h 50000", "tcp h 8080", "tls h 8443"}));
}

TEST(UrlEndpoint, PortsAndAddresses) {
    Endpoint e = EndpointOf("http://[::1]:8443/x", "[::1]:8443");
    EXPECT_EQ(e.host, "::1");
    EXPECT_EQ(e.port, 8443);
    e = EndpointOf("https://h:99999/", "h:99999");  // no port: the text stays the host's
    EXPECT_EQ(e.host, "h:99999");
    EXPECT_EQ(e.port, 443);
    EXPECT_FALSE(e.explicitPort);
    e = EndpointOf("https://h:/", "h:");
    EXPECT_EQ(e.host, "h:");
    // Digits past what a port holds are the host's text, read without overflowing.
    e = EndpointOf("http://h:123456789012345678901234/", "h:123456789012345678901234");
    EXPECT_EQ(e.host, "h:123456789012345678901234");
    EXPECT_EQ(e.port, 80);
    EXPECT_FALSE(e.explicitPort);
}

}  // namespace quillrun
