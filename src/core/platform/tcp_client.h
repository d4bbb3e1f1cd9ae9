// Blocking IPv4 TCP exchanges, one connection per request.
#pragma once

#include <cstdint>
#include <string>

namespace quillrun {

class TcpConnection {
  public:
    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // A dotted address, else the first IPv4 address the name resolves to; then connects.
    // False when the name does not resolve or the connection fails.
    bool Connect(const std::string& host, std::uint16_t port);
    // Sends all of data, also what a first send call did not take.
    bool SendAll(const std::string& data);
    // Receives until the peer closes, an error, or `limit` bytes are held.
    std::string ReceiveUpTo(std::size_t limit);
    void Close();

  private:
    int fd_ = -1;
};

}  // namespace quillrun
