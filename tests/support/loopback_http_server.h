// A small HTTP server on 127.0.0.1 and an ephemeral port for the tests. It records the exact
// bytes of every request it receives and answers each through a handler; every answer closes
// the connection.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillrun::test {

struct ReceivedRequest {
    std::string raw;  // every byte received on the connection
    std::string method;
    std::string target;                          // path and query as sent
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;                            // Content-Length bytes after the header block
    // The wall clock (microseconds since the epoch) when the connection was accepted and when
    // the request's first bytes arrived.
    long long acceptedMicroseconds = 0;
    long long firstByteMicroseconds = 0;
    std::string Header(const std::string& lowerName) const;
};

struct Reply {
    std::string raw;            // sent as it stands
    int delayMilliseconds = 0;  // before answering
    bool closeWithoutAnswer = false;
    bool resetConnection = false;  // after the answer, a reset (RST) instead of a close

    // "HTTP/1.0 200 OK" with Content-Type, Content-Length and Connection: close.
    static Reply Ok(const std::string& body, const std::string& contentType = "text/html",
                    const std::string& extraHeaders = "");
};

// A certificate and its key, PEM, made at test time for 127.0.0.1 and localhost.
struct TestCertificate {
    std::string certificatePem;
    std::string keyPem;
    // A new self-signed certificate (RSA 2048, valid for a day).
    static TestCertificate Make(const std::string& commonName = "quillrun test");
};

// A listening socket on 127.0.0.1 (or ::1) and an ephemeral port, for tests that play a server
// by hand (one that drops, drips or answers only on IPv6); -1 when it cannot be made.
int ListenOnLoopback(std::uint16_t& port, bool ipv6 = false);

class LoopbackHttpServer {
  public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;

    explicit LoopbackHttpServer(Handler handler = nullptr);
    // The same server over TLS with this certificate.
    LoopbackHttpServer(Handler handler, const TestCertificate& tls);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port>" + path
                                                     // ("https://" over TLS)
    void SetHandler(Handler handler);

    std::vector<ReceivedRequest> Requests() const;
    std::size_t RequestCount() const;
    // Waits until at least count requests were received; false on time-out.
    bool WaitForRequests(std::size_t count, int timeoutMilliseconds) const;
    void ClearRequests();

  private:
    void Start();
    void AcceptLoop();
    void Serve(int fd, long long acceptedMicroseconds);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> workers_;
    Handler handler_;
    void* tlsContext_ = nullptr;  // SSL_CTX of a TLS server
};

}  // namespace quillrun::test
