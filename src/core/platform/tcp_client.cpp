#include "core/platform/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace quillrun {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kAddressLifetime = std::chrono::seconds(120);

struct KeptAddress {
    in_addr address;
    SteadyClock::time_point until;
};

std::mutex g_cacheLock;
std::unordered_map<std::string, KeptAddress> g_cache;

bool LookUp(const std::string& host, in_addr& address) {
    if (host.empty())
        return false;
    addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return false;
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    freeaddrinfo(result);
    return true;
}

void Keep(const std::string& host, const in_addr& address) {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    g_cache[host] = KeptAddress{address, SteadyClock::now() + kAddressLifetime};
}

// Waits until fd is ready for `events`; false on a time-out (errno 0) or an error.
bool WaitFor(int fd, short events, int milliseconds) {
    pollfd p{fd, events, 0};
    for (;;) {
        int n = ::poll(&p, 1, milliseconds);
        if (n > 0)
            return true;
        if (n == 0) {
            errno = 0;
            return false;
        }
        if (errno != EINTR)
            return false;
    }
}

}  // namespace

bool ResolveHostAddress(const std::string& host, in_addr& address) {
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    {
        std::lock_guard<std::mutex> lock(g_cacheLock);
        auto it = g_cache.find(host);
        if (it != g_cache.end() && it->second.until > SteadyClock::now()) {
            address = it->second.address;
            return true;
        }
    }
    if (!LookUp(host, address))
        return false;
    Keep(host, address);
    return true;
}

void PrefetchHostAddress(const std::string& host) {
    in_addr address;
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return;
    if (LookUp(host, address))
        Keep(host, address);
}

void ClearHostAddressCache() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    g_cache.clear();
}

TcpConnection::~TcpConnection() {
    Close();
}

bool TcpConnection::Connect(const std::string& host, std::uint16_t port,
                            const NetTimeouts& timeouts) {
    Close();
    timeouts_ = timeouts;
    failure_ = NetFailure::None;
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!ResolveHostAddress(host, address.sin_addr)) {
        failure_ = NetFailure::Resolve;
        return false;
    }
    // Non-blocking from the start, so that connect, send and receive each wait with a limit.
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        failure_ = NetFailure::Socket;
        return false;
    }
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno != EINPROGRESS) {
            failure_ = NetFailure::Connect;
            Close();
            return false;
        }
        if (!WaitFor(fd_, POLLOUT, timeouts_.connectMilliseconds)) {
            failure_ = errno == 0 ? NetFailure::ConnectTimeout : NetFailure::Connect;
            Close();
            return false;
        }
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            failure_ = NetFailure::Connect;
            Close();
            return false;
        }
    }
    return true;
}

bool TcpConnection::SendAll(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (WaitFor(fd_, POLLOUT, timeouts_.idleMilliseconds))
                    continue;
                failure_ = errno == 0 ? NetFailure::SendTimeout : NetFailure::Send;
                return false;
            }
            failure_ = NetFailure::Send;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string TcpConnection::ReceiveUpTo(std::size_t limit) {
    std::string received(limit, '\0');
    std::size_t held = 0;
    while (held < limit) {
        ssize_t n = ::recv(fd_, received.data() + held, limit - held, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd_, POLLIN, timeouts_.idleMilliseconds))
                continue;
            if (errno == 0)
                failure_ = NetFailure::ReceiveTimeout;
            break;
        }
        if (n <= 0)
            break;
        held += static_cast<std::size_t>(n);
    }
    received.resize(held);
    return received;
}

void TcpConnection::Close() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace quillrun
