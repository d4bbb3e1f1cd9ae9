// An IE task's browser is made ready a moment ahead with the engine's connection hints for the
// first row's site (a host lookup, a connection where the engine makes one): nothing that the
// site would count as a request.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "gui/browser/web_engine_browser.h"
#include "tests/gui/gui_program_test.h"

namespace quillrun {
namespace {

// A listener that notes each connection and what arrived on it, and answers a request with a
// small page on the connection it came on.
class ConnectionSite {
  public:
    ConnectionSite() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t size = sizeof(address);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        ::listen(listener_, 16);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ConnectionSite() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
        for (int fd : connections_)
            ::close(fd);
    }
    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // What arrived on each connection so far, in the order they were accepted.
    std::vector<std::string> Received() {
        std::lock_guard<std::mutex> hold(lock_);
        return received_;
    }

  private:
    void Serve() {
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (int fd : connections_)
                fds.push_back({fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                int fd = ::accept(listener_, nullptr, nullptr);
                std::lock_guard<std::mutex> hold(lock_);
                connections_.push_back(fd);
                received_.emplace_back();
            }
            for (std::size_t k = 1; k < fds.size(); ++k) {
                if (!(fds[k].revents & (POLLIN | POLLHUP)))
                    continue;
                char buffer[4096];
                ssize_t n = ::recv(fds[k].fd, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    continue;
                std::lock_guard<std::mutex> hold(lock_);
                received_[k - 1].append(buffer, static_cast<std::size_t>(n));
                if (received_[k - 1].find("\r\n\r\n") != std::string::npos) {
                    const char answer[] =
                        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 14\r\n\r\n"
                        "<p>ready</p>\r\n";
                    (void)!::send(fds[k].fd, answer, sizeof(answer) - 1, MSG_NOSIGNAL);
                }
            }
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex lock_;
    std::vector<int> connections_;
    std::vector<std::string> received_;
};

class WarmUpTest : public test::GuiProgramTest {};

}  // namespace

// Made ready ahead, the site sees at most a connection, never a request (a site that counts
// its visitors' requests sees none more); the load at the moment is the one request.
TEST_F(WarmUpTest, WarmingUpSendsTheSiteNoRequestAndTheLoadTakesAnyConnectionOpenedAhead) {
    ConnectionSite site, shown;
    WebEngineBrowser browser(nullptr, QString());
    browser.Navigate(shown.Origin() + "/");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !browser.Busy(); }, 10000));

    browser.WarmUp(site.Origin());
    QTest::qWait(1500);
    std::vector<std::string> ahead = site.Received();
    EXPECT_LE(ahead.size(), 1u);
    for (const std::string& bytes : ahead)
        EXPECT_EQ(bytes, "") << "a request was sent ahead";

    browser.Navigate(site.Origin() + "/book");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::vector<std::string> now = site.Received();
            return !now.empty() && now.front().find("GET /book ") == 0;
        },
        10000))
        << "the load did not come, or not on the first connection";
    QTest::qWait(300);
    EXPECT_EQ(site.Received().size(), 1u);
}

}  // namespace quillrun
