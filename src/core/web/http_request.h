// A request as other tools see it: method, absolute URL, header lines and body bytes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

struct WireRequest {
    std::string method;
    std::string url;                                           // bytes as on the wire
    std::vector<std::pair<std::string, std::string>> headers;  // name, value
    std::string body;
};

}  // namespace quillrun
