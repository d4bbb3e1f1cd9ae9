#include "core/platform/tcp_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillrun {

TcpConnection::~TcpConnection() {
    Close();
}

bool TcpConnection::Connect(const std::string& host, std::uint16_t port) {
    Close();
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints;
        std::memset(&hints, 0, sizeof(hints));
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 ||
            result == nullptr) {
            return false;
        }
        address.sin_addr = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
        freeaddrinfo(result);
    }
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        Close();
        return false;
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
