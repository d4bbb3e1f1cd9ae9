// A row's request as a curl command: to try or share a request by hand.
#pragma once

#include <string>

#include "core/web/http_request.h"

namespace quillrun {

// A POSIX shell word that keeps every byte: $'...' with escapes for quotes, backslashes and
// bytes that are not printable ASCII.
std::string ShellQuote(const std::string& bytes);

// One curl command (a line) that sends the request: HTTP/1.0, the same headers (and none of
// curl's own), the body as given (a body with a zero byte through printf, which keeps it), the
// target as written (given raw where curl would change it). Bytes no curl option keeps are said
// in a comment line above it.
std::string CurlCommand(const WireRequest& request);

}  // namespace quillrun
