// What browsers do with a Set-Cookie before they keep it: the date of Expires, the default
// path, and whether a Domain attribute may be taken from the host that answered.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace quillrun {

// An Expires date as browsers read it (any of the formats servers write: "Wed, 09 Jun 2021
// 10:18:14 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"): seconds since
// 1970 (UTC); false when it is no date.
bool ParseCookieDate(std::string_view text, std::time_t& when);

// The path a cookie set without one (or with one that does not start with "/") belongs to: the
// request path's directory ("/app/login.cgi" gives "/app", "/login" gives "/").
std::string DefaultCookiePath(const std::string& requestPath);

// A host written as an IPv4 or IPv6 address.
bool IsIpAddress(const std::string& host);

// Whether a host lies in a cookie's domain: the domain itself, or a name that ends in "." and
// the domain (never for an IP address). Compared without regard to case.
bool HostInCookieDomain(const std::string& host, const std::string& domain);

}  // namespace quillrun
