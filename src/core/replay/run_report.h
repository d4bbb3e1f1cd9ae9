// What a replay tells of each row it went through: the one line a person reads to see whether
// the run worked (the command line prints it; each task run keeps it in a report file).
#pragma once

#include <functional>
#include <string>

#include "core/platform/clock.h"

namespace quillrun {

struct RowResult {
    LocalTime at;  // when the row started
    std::string method;
    std::string url;
    std::string outcome;  // the response's status line, or what went wrong
    std::size_t bytes = 0;
    long long milliseconds = 0;
    bool ok = false;  // a 2xx or 3xx status
};

using RowObserver = std::function<void(const RowResult&)>;

// "YYYY-MM-DD hh:mm:ss.mmm METHOD URL OUTCOME N bytes M ms".
std::string FormatRowResult(const RowResult& row);

// The first line of a response, and whether it is an HTTP status of 2xx or 3xx.
std::string StatusLineOf(const std::string& response);
bool IsSuccessStatus(const std::string& statusLine);

}  // namespace quillrun
