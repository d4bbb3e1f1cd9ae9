// Event-file lines: any bytes parse into fields within their widths, without a tab, and a line
// written from parsed fields (its headers included) parses back to the same fields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/recording/event_line.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : SplitEventFileLines(input)) {
        if (line.size() > kEventLineRead)
            std::abort();
        EventLine e;
        if (!ParseEventLine(line, e))
            continue;
        // A script row's method (PUT, PATCH, DELETE) is kept whole; every other is cut to its
        // width.
        bool scriptMethod = IsScriptRow(e) && IsScriptMethod(EventMethodCode(e.method));
        if ((!scriptMethod && e.method.size() >= kMethodWidth) || e.url.size() >= kUrlWidth ||
            e.data.size() >= kDataWidth || e.headers.size() >= kHeadersWidth) {
            std::abort();
        }
        if (e.method.find('\t') != std::string::npos || e.url.find('\t') != std::string::npos ||
            e.data.find('\t') != std::string::npos) {
            std::abort();
        }
        bool hasBreak = e.method.find_first_of("\r\n") != std::string::npos ||
                        e.url.find_first_of("\r\n") != std::string::npos ||
                        e.data.find_first_of("\r\n") != std::string::npos ||
                        e.headers.find_first_of("\t\r\n") != std::string::npos;
        if (hasBreak)
            continue;  // such fields cannot be written as one line
        // A row with headers (a script row: POST, PUT, PATCH, DELETE) is written with them.
        std::string written = FormatEventLine(1, e.method, e.url, e.data, e.headers);
        auto again = SplitEventFileLines(written);
        EventLine back;
        if (again.size() != 1 || !ParseEventLine(again[0], back))
            std::abort();
        if (back.method != e.method || back.url != e.url || back.data != e.data ||
            back.headers != e.headers)
            std::abort();
    }
    return 0;
}
