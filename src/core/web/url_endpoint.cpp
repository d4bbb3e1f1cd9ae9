#include "core/web/url_endpoint.h"

namespace quillrun {

Endpoint EndpointOf(const std::string& url, const std::string& hostText) {
    Endpoint e;
    std::size_t scheme = url.find("://");
    if (scheme != std::string::npos) {
        std::string name = url.substr(0, scheme);
        for (char& c : name)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        e.tls = name == "https";
    }
    e.port = e.tls ? 443 : 80;
    e.host = hostText;
    std::size_t colon = std::string::npos;
    if (!hostText.empty() && hostText[0] == '[') {
        std::size_t close = hostText.find(']');
        if (close != std::string::npos && close + 1 < hostText.size() && hostText[close + 1] == ':')
            colon = close + 1;
    } else {
        colon = hostText.rfind(':');
        if (colon != std::string::npos && hostText.find(':') != colon)
            colon = std::string::npos;  // a bare IPv6 address has no port
    }
    if (colon != std::string::npos) {
        std::string digits = hostText.substr(colon + 1);
        long value = 0;
        // At most five digits are read: a longer run is no port (and never overflows).
        bool number = !digits.empty() && digits.size() <= 5;
        for (std::size_t k = 0; number && k < digits.size(); ++k) {
            number = digits[k] >= '0' && digits[k] <= '9';
            value = value * 10 + (digits[k] - '0');
        }
        if (number && value >= 1 && value <= 65535) {
            e.port = static_cast<std::uint16_t>(value);
            e.explicitPort = true;
            e.host = hostText.substr(0, colon);
        }
    }
    if (e.host.size() >= 2 && e.host.front() == '[' && e.host.back() == ']')
        e.host = e.host.substr(1, e.host.size() - 2);
    return e;
}

std::uint16_t ConnectPort(const Endpoint& endpoint, bool cgiTestMode, std::uint16_t override) {
    if (endpoint.explicitPort)
        return endpoint.port;
    if (override != 0)
        return override;
    return cgiTestMode ? 50000 : endpoint.port;
}

std::string HostHeaderValue(const Endpoint& endpoint) {
    std::string host =
        endpoint.host.find(':') != std::string::npos ? "[" + endpoint.host + "]" : endpoint.host;
    if (endpoint.port == (endpoint.tls ? 443 : 80))
        return host;
    return host + ":" + std::to_string(endpoint.port);
}

}  // namespace quillrun
