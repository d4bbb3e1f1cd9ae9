// What the socket sender reads of an HTTP response: its status line and its body as text.
#pragma once

#include <string>

namespace quillrun {

// A response's body (after its header block) as UTF-8, converted from the charset it is in.
std::string ResponseBodyText(const std::string& response);

// The first line of a response, and whether it is an HTTP status of 2xx or 3xx.
std::string StatusLineOf(const std::string& response);
bool IsSuccessStatus(const std::string& statusLine);
// The value of the first header of that name (any case) in the response's header block, its
// surrounding blanks dropped; empty when there is none.
std::string ResponseHeaderValue(const std::string& response, const std::string& name);

}  // namespace quillrun
