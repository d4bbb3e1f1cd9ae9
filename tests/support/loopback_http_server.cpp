#include "tests/support/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace quillrun::test {
namespace {

bool WaitReadable(int fd, int milliseconds) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, milliseconds) > 0;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ReceivedRequest::Header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Reply Reply::Ok(const std::string& body, const std::string& contentType,
                const std::string& extraHeaders) {
    Reply r;
    r.raw = "HTTP/1.0 200 OK\r\nContent-Type: " + contentType +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders +
            "Connection: close\r\n\r\n" + body;
    return r;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("socket");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("bind/listen");
    }
    socklen_t length = sizeof(address);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        workers.swap(workers_);
    }
    for (auto& w : workers)
        w.join();
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(lock_);
    handler_ = std::move(handler);
}

std::vector<ReceivedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_;
}

std::size_t LoopbackHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_.size();
}

bool LoopbackHttpServer::WaitForRequests(std::size_t count, int timeoutMilliseconds) const {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                             [&] { return requests_.size() >= count; });
}

void LoopbackHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(lock_);
    requests_.clear();
}

void LoopbackHttpServer::AcceptLoop() {
    while (!stopping_) {
        if (!WaitReadable(listenFd_, 100))
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> lock(lock_);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackHttpServer::Serve(int fd) {
    ReceivedRequest request;
    std::string& raw = request.raw;
    char buffer[65536];
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Header block, then Content-Length bytes of body.
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
        if (headerEnd != std::string::npos && raw.size() >= headerEnd + 4 + wanted)
            break;
        if (!WaitReadable(fd, 50))
            continue;
        ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = raw.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                std::size_t lineEnd = raw.find("\r\n");
                std::string first = raw.substr(0, lineEnd);
                std::size_t s1 = first.find(' ');
                std::size_t s2 = first.find(' ', s1 + 1);
                request.method = first.substr(0, s1);
                request.target = first.substr(s1 + 1, s2 - s1 - 1);
                std::size_t pos = lineEnd + 2;
                while (pos < headerEnd) {
                    std::size_t end = raw.find("\r\n", pos);
                    std::string line = raw.substr(pos, end - pos);
                    std::size_t colon = line.find(':');
                    if (colon != std::string::npos) {
                        std::string value = line.substr(colon + 1);
                        while (!value.empty() && value.front() == ' ')
                            value.erase(0, 1);
                        request.headers[Lower(line.substr(0, colon))] = value;
                    }
                    pos = end + 2;
                }
                std::string length = request.Header("content-length");
                wanted = length.empty() ? 0 : std::stoul(length);
            }
        }
    }
    // Whatever follows right behind (the CR LF after a POST body).
    while (WaitReadable(fd, 30)) {
        ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    if (headerEnd != std::string::npos)
        request.body = raw.substr(headerEnd + 4, wanted);

    Handler handler;
    {
        std::lock_guard<std::mutex> lock(lock_);
        handler = handler_;
    }
    Reply reply = handler ? handler(request) : Reply::Ok("<html><body>ok</body></html>");
    {
        std::lock_guard<std::mutex> lock(lock_);
        requests_.push_back(request);
    }
    arrived_.notify_all();
    if (reply.delayMilliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMilliseconds));
    }
    if (!reply.closeWithoutAnswer)
        SendAll(fd, reply.raw);
    ::shutdown(fd, SHUT_WR);
    while (WaitReadable(fd, 50)) {  // let the peer read before the close
        if (::recv(fd, buffer, sizeof(buffer), 0) <= 0)
            break;
    }
    ::close(fd);
}

}  // namespace quillrun::test
