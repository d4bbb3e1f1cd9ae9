// Where the socket sender connects for a row: the URL's scheme decides plain HTTP or TLS, and
// an explicit ":port" in the host part wins over the scheme's port.
#pragma once

#include <cstdint>
#include <string>

namespace quillrun {

struct Endpoint {
    bool tls = false;           // "https://"
    std::string host;           // the host without its port (brackets of an IPv6 address off)
    std::uint16_t port = 0;     // explicit, else 80 or 443
    bool explicitPort = false;  // the URL names its port
};

// From the URL (for its scheme) and the host text that SplitUrl gave. A port that is no number
// from 1 to 65535 stays part of the host text, which then does not resolve.
Endpoint EndpointOf(const std::string& url, const std::string& hostText);

// The port connected to: the explicit one, else the scheme's default, which CGI test mode
// replaces by 50000 and a test's override by its own.
std::uint16_t ConnectPort(const Endpoint& endpoint, bool cgiTestMode, std::uint16_t override);

// The Host header's value for the endpoint: the host (an IPv6 address in brackets) and, unless
// it is the scheme's default, ":port".
std::string HostHeaderValue(const Endpoint& endpoint);

}  // namespace quillrun
