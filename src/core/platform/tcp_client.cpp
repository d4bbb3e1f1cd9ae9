#include "core/platform/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace quillrun {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kAddressLifetime = std::chrono::seconds(120);

struct KeptAddress {
    std::vector<sockaddr_storage> addresses;
    SteadyClock::time_point until;
};

std::mutex g_cacheLock;
// Never destroyed: a lookup ahead may still be running when the program ends.
std::unordered_map<std::string, KeptAddress>& Cache() {
    static auto* cache = new std::unordered_map<std::string, KeptAddress>;
    return *cache;
}

// A literal address ("127.0.0.1", "::1") without asking the resolver.
bool LiteralAddress(const std::string& host, sockaddr_storage& out) {
    std::memset(&out, 0, sizeof(out));
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        return true;
    }
    return false;
}

bool LookUp(const std::string& host, std::vector<sockaddr_storage>& addresses) {
    addresses.clear();
    if (host.empty())
        return false;
    addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return false;
    for (addrinfo* a = result; a != nullptr; a = a->ai_next) {
        if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) ||
            a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        sockaddr_storage one;
        std::memset(&one, 0, sizeof(one));
        std::memcpy(&one, a->ai_addr, a->ai_addrlen);
        addresses.push_back(one);
    }
    freeaddrinfo(result);
    return !addresses.empty();
}

void Keep(const std::string& host, const std::vector<sockaddr_storage>& addresses) {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    Cache()[host] = KeptAddress{addresses, SteadyClock::now() + kAddressLifetime};
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

// One client context for the process, made again when the trust store named by the
// environment changes (tests name their own).
SSL_CTX* ClientContext() {
    static std::mutex lock;
    static SSL_CTX* context = nullptr;
    static std::string storeKey;
    const char* file = std::getenv("SSL_CERT_FILE");
    const char* dir = std::getenv("SSL_CERT_DIR");
    std::string key = std::string(file ? file : "") + "\n" + (dir ? dir : "");
    std::lock_guard<std::mutex> guard(lock);
    if (context != nullptr && key == storeKey)
        return context;
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (made == nullptr)
        return nullptr;
    SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
    SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(made);
    // A session made from the old context holds its own reference to it.
    if (context != nullptr)
        SSL_CTX_free(context);
    context = made;
    storeKey = key;
    return context;
}

std::string OpenSslReason() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return "the server closed the connection";
    char text[256];
    ERR_error_string_n(code, text, sizeof(text));
    return text;
}

bool IsIpAddress(const std::string& host) {
    in_addr v4;
    in6_addr v6;
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

short EventsFor(int sslError) {
    return sslError == SSL_ERROR_WANT_READ    ? POLLIN
           : sslError == SSL_ERROR_WANT_WRITE ? POLLOUT
                                              : 0;
}

}  // namespace

bool ResolveHostAddresses(const std::string& host, std::vector<sockaddr_storage>& addresses) {
    sockaddr_storage literal;
    if (LiteralAddress(host, literal)) {
        addresses.assign(1, literal);
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(g_cacheLock);
        auto it = Cache().find(host);
        if (it != Cache().end() && it->second.until > SteadyClock::now()) {
            addresses = it->second.addresses;
            return true;
        }
    }
    if (!LookUp(host, addresses))
        return false;
    Keep(host, addresses);
    return true;
}

void PrefetchHostAddress(const std::string& host) {
    sockaddr_storage literal;
    std::vector<sockaddr_storage> addresses;
    if (!LiteralAddress(host, literal) && LookUp(host, addresses))
        Keep(host, addresses);
}

void ClearHostAddressCache() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    Cache().clear();
}

TcpConnection::~TcpConnection() {
    Close();
}

bool TcpConnection::Connect(const std::string& host, std::uint16_t port,
                            const NetTimeouts& timeouts) {
    Close();
    timeouts_ = timeouts;
    failure_ = NetFailure::None;
    detail_.clear();
    deadlineNs_ = -1;
    std::vector<sockaddr_storage> addresses;
    if (!ResolveHostAddresses(host, addresses)) {
        failure_ = NetFailure::Resolve;
        return false;
    }
    auto until = SteadyClock::now() + std::chrono::milliseconds(timeouts_.connectMilliseconds);
    for (sockaddr_storage& address : addresses) {
        socklen_t length = sizeof(sockaddr_in);
        if (address.ss_family == AF_INET6) {
            reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(port);
            length = sizeof(sockaddr_in6);
        } else {
            reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(port);
        }
        long long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now())
                .count();
        if (left <= 0) {
            failure_ = NetFailure::ConnectTimeout;
            return false;
        }
        // Non-blocking from the start, so that connect, send and receive each wait with a limit.
        fd_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) {
            failure_ = NetFailure::Socket;
            continue;
        }
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0)
            return true;
        if (errno != EINPROGRESS) {
            failure_ = NetFailure::Connect;
            Close();
            continue;
        }
        if (!WaitFor(fd_, POLLOUT, static_cast<int>(left))) {
            failure_ = errno == 0 ? NetFailure::ConnectTimeout : NetFailure::Connect;
            Close();
            continue;
        }
        int error = 0;
        socklen_t size = sizeof(error);
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            failure_ = NetFailure::Connect;
            Close();
            continue;
        }
        failure_ = NetFailure::None;
        return true;
    }
    return false;
}

bool TcpConnection::StartTls(const std::string& serverName) {
    SSL_CTX* context = ClientContext();
    if (context == nullptr || fd_ < 0) {
        failure_ = NetFailure::TlsHandshake;
        detail_ = "no TLS context";
        return false;
    }
    ssl_ = SSL_new(context);
    if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) {
        failure_ = NetFailure::TlsHandshake;
        detail_ = OpenSslReason();
        return false;
    }
    if (IsIpAddress(serverName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, serverName.c_str());
        SSL_set1_host(ssl_, serverName.c_str());
    }
    for (;;) {
        ERR_clear_error();
        int result = SSL_connect(ssl_);
        if (result == 1)
            return true;
        short events = EventsFor(SSL_get_error(ssl_, result));
        if (events != 0 && WaitFor(fd_, events, timeouts_.idleMilliseconds))
            continue;
        long verify = SSL_get_verify_result(ssl_);
        if (verify != X509_V_OK) {
            failure_ = NetFailure::TlsCertificate;
            detail_ = X509_verify_cert_error_string(verify);
        } else {
            failure_ = NetFailure::TlsHandshake;
            detail_ = events != 0 ? "time-out" : OpenSslReason();
        }
        return false;
    }
}

void TcpConnection::StartExchangeClock() {
    deadlineNs_ =
        std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
            .count() +
        static_cast<long long>(timeouts_.wholeMilliseconds) * 1000000LL;
}

bool TcpConnection::PastDeadline() const {
    return deadlineNs_ >= 0 && std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   SteadyClock::now().time_since_epoch())
                                       .count() >= deadlineNs_;
}

int TcpConnection::NextWait() const {
    if (deadlineNs_ < 0)
        return timeouts_.idleMilliseconds;
    // Rounded up: a wait that ends must end at or past the limit, never a hair before it.
    long long left =
        (deadlineNs_ -
         std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
             .count() +
         999999LL) /
        1000000LL;
    if (left < 0)
        left = 0;
    return static_cast<int>(std::min<long long>(left, timeouts_.idleMilliseconds));
}

bool TcpConnection::SendAll(const std::string& data) {
    if (ssl_ != nullptr) {
        std::size_t done = 0;
        while (done < data.size()) {
            ERR_clear_error();
            int n = SSL_write(ssl_, data.data() + done, static_cast<int>(data.size() - done));
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            short events = EventsFor(SSL_get_error(ssl_, n));
            if (events != 0 && !PastDeadline() && WaitFor(fd_, events, NextWait()))
                continue;
            failure_ = events != 0 ? TimedOut(NetFailure::SendTimeout) : NetFailure::Send;
            return false;
        }
        return true;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!PastDeadline() && WaitFor(fd_, POLLOUT, NextWait()))
                    continue;
                failure_ = errno == 0 || PastDeadline() ? TimedOut(NetFailure::SendTimeout)
                                                        : NetFailure::Send;
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
    while (ssl_ != nullptr && held < limit) {
        if (PastDeadline()) {
            failure_ = NetFailure::RowTimeout;
            break;
        }
        ERR_clear_error();
        int n = SSL_read(ssl_, received.data() + held, static_cast<int>(limit - held));
        if (n > 0) {
            held += static_cast<std::size_t>(n);
            continue;
        }
        short events = EventsFor(SSL_get_error(ssl_, n));
        if (events != 0 && WaitFor(fd_, events, NextWait()))
            continue;
        if (events != 0 && errno == 0)
            failure_ = TimedOut(NetFailure::ReceiveTimeout);
        break;  // closed (with or without close_notify, as HTTP/1.0 servers do) or an error
    }
    while (ssl_ == nullptr && held < limit) {
        if (PastDeadline()) {
            failure_ = NetFailure::RowTimeout;
            break;
        }
        ssize_t n = ::recv(fd_, received.data() + held, limit - held, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd_, POLLIN, NextWait()))
                continue;
            if (errno == 0)
                failure_ = TimedOut(NetFailure::ReceiveTimeout);
            break;
        }
        if (n <= 0)
            break;
        held += static_cast<std::size_t>(n);
    }
    received.resize(held);
    return received;
}

bool TcpConnection::StillOpen() const {
    if (fd_ < 0)
        return false;
    // Data waiting (a TLS session ticket) is no sign of an end; the peer's shutdown is.
    pollfd p{fd_, static_cast<short>(POLLRDHUP), 0};
    if (::poll(&p, 1, 0) < 0)
        return errno == EINTR;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void TcpConnection::Close() {
    if (ssl_ != nullptr) {
        SSL_shutdown(ssl_);  // one try; the socket is non-blocking
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace quillrun
