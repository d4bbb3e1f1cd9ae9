#include "core/replay/cookie_rules.h"

#include <arpa/inet.h>

#include <cctype>
#include <vector>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

bool IsDateDelimiter(unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
           (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// 1 to `most` digits at the start of the token, and what follows them; false when none.
bool LeadingDigits(std::string_view token, std::size_t most, int& value, std::string_view& rest) {
    std::size_t n = 0;
    value = 0;
    while (n < token.size() && n < most && std::isdigit(static_cast<unsigned char>(token[n])))
        value = value * 10 + (token[n++] - '0');
    rest = token.substr(n);
    return n > 0;
}

// "h:m:s", each of one or two digits, anything after the seconds' digits ignored.
bool TimeToken(std::string_view token, int& hour, int& minute, int& second) {
    std::string_view rest;
    if (!LeadingDigits(token, 2, hour, rest) || rest.empty() || rest[0] != ':')
        return false;
    if (!LeadingDigits(rest.substr(1), 2, minute, rest) || rest.empty() || rest[0] != ':')
        return false;
    if (!LeadingDigits(rest.substr(1), 2, second, rest))
        return false;
    return rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0]));
}

int MonthToken(std::string_view token) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return 0;
    for (int m = 0; m < 12; ++m) {
        if (EqualNoCase(token.substr(0, 3), kMonths[m]))
            return m + 1;
    }
    return 0;
}

}  // namespace

bool ParseCookieDate(std::string_view text, std::time_t& when) {
    std::vector<std::string_view> tokens;
    for (std::size_t at = 0; at < text.size();) {
        while (at < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[at])))
            ++at;
        std::size_t end = at;
        while (end < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[end])))
            ++end;
        if (end > at)
            tokens.push_back(text.substr(at, end - at));
        at = end;
    }
    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    for (std::string_view token : tokens) {
        std::string_view rest;
        int value = 0;
        if (!haveTime && TimeToken(token, hour, minute, second)) {
            haveTime = true;
        } else if (!haveDay && LeadingDigits(token, 2, value, rest) &&
                   (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0])))) {
            day = value;
            haveDay = true;
        } else if (!haveMonth && MonthToken(token) != 0) {
            month = MonthToken(token);
            haveMonth = true;
        } else if (!haveYear && LeadingDigits(token, 4, value, rest) &&
                   (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0]))) &&
                   token.size() - rest.size() >= 2) {
            year = value;
            haveYear = true;
        }
    }
    if (haveYear && year >= 70 && year <= 99)
        year += 1900;
    else if (haveYear && year >= 0 && year <= 69)
        year += 2000;
    if (!haveTime || !haveDay || !haveMonth || !haveYear || day < 1 || day > 31 || year < 1601 ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    when = ::timegm(&t);
    return true;
}

std::string DefaultCookiePath(const std::string& requestPath) {
    if (requestPath.empty() || requestPath[0] != '/')
        return "/";
    std::size_t last = requestPath.rfind('/');
    return last == 0 ? "/" : requestPath.substr(0, last);
}

bool IsIpAddress(const std::string& host) {
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
        bare = bare.substr(1, bare.size() - 2);
    unsigned char address[16];
    return ::inet_pton(AF_INET, bare.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, bare.c_str(), address) == 1;
}

bool HostInCookieDomain(const std::string& host, const std::string& domain) {
    if (domain.empty())
        return false;
    if (EqualNoCase(host, domain))
        return true;
    return !IsIpAddress(host) && host.size() > domain.size() + 1 &&
           host[host.size() - domain.size() - 1] == '.' &&
           EqualNoCase(std::string_view(host).substr(host.size() - domain.size()), domain);
}

}  // namespace quillrun
