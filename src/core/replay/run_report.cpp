#include "core/replay/run_report.h"

#include <cstdio>

namespace quillrun {

std::string FormatRowResult(const RowResult& row) {
    char when[40];
    std::snprintf(when, sizeof(when), "%04d-%02d-%02d %02d:%02d:%02d.%03d", row.at.year,
                  row.at.month, row.at.day, row.at.hour, row.at.minute, row.at.second,
                  row.at.millisecond);
    return std::string(when) + " " + row.method + " " + row.url + " " + row.outcome + " " +
           std::to_string(row.bytes) + " bytes " + std::to_string(row.milliseconds) + " ms";
}

std::string StatusLineOf(const std::string& response) {
    std::size_t end = response.find_first_of("\r\n");
    std::string line = response.substr(0, end);
    for (char& c : line) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            c = ' ';
    }
    return line.empty() ? "(no response)" : line;
}

bool IsSuccessStatus(const std::string& statusLine) {
    // "HTTP/1.x 2nn ..." or "HTTP/1.x 3nn ..."
    std::size_t blank = statusLine.find(' ');
    if (statusLine.compare(0, 5, "HTTP/") != 0 || blank == std::string::npos ||
        statusLine.size() < blank + 4) {
        return false;
    }
    auto digit = [&](std::size_t i) { return statusLine[i] >= '0' && statusLine[i] <= '9'; };
    char first = statusLine[blank + 1];
    bool threeDigits = digit(blank + 1) && digit(blank + 2) && digit(blank + 3) &&
                       (statusLine.size() == blank + 4 || statusLine[blank + 4] == ' ');
    return threeDigits && (first == '2' || first == '3');
}

}  // namespace quillrun
