// The socket sender's limits: the port tests reach, the pause after a row and the time limits
// of a connection, each from the options, else the settings, else the defaults.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/platform/tcp_client.h"

namespace quillrun {

constexpr std::size_t kReceiveLimit = 10240;
constexpr int kResponseFilesMax = 101;  // numbers 0 to 100

struct SocketSenderOptions {
    std::uint16_t port = 0;        // 0: 80, or 50000 in CGI test mode
    int pauseMilliseconds = 1000;  // after every row that reached the request stage
    // 0: the settings' SocketConnectTimeout / SocketReceiveTimeout seconds, else 10 s and 30 s.
    int connectTimeoutMilliseconds = 0;
    int receiveTimeoutMilliseconds = 0;
    // 0: the settings' SocketRowTimeout seconds, else 120 s for a row's whole exchange.
    int rowTimeoutMilliseconds = 0;
};

// The connect and idle limits in force: the options, else the settings, else the defaults.
NetTimeouts SocketTimeouts();

// Tests reach a loopback server on its own port and shorten the pause.
void SetSocketSenderOptions(const SocketSenderOptions& options);
// The options in force.
SocketSenderOptions CurrentSocketSenderOptions();

}  // namespace quillrun
