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
    // The sender writes a form row's "Content-Type:" with no blank after the colon.
    bool bareContentType = false;
};

}  // namespace quillrun
