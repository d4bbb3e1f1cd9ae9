#include "core/web/http_response.h"

#include "core/platform/cp932.h"
#include "core/web/charset_converter.h"

namespace quillrun {

std::string StatusLineOf(const std::string& response) {
    std::size_t end = response.find_first_of("\r\n");
    std::string line = response.substr(0, end);
    for (char& c : line) {
        if (IsControlByte(static_cast<unsigned char>(c)))
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

std::string ResponseBodyText(const std::string& response) {
    std::size_t end = response.find("\r\n\r\n");
    std::size_t start = end == std::string::npos ? std::string::npos : end + 4;
    if (start == std::string::npos) {
        end = response.find("\n\n");
        start = end == std::string::npos ? 0 : end + 2;
    }
    CharsetConverter converter;
    converter.SetOption("w");
    return converter.Convert(std::string_view(response).substr(start));
}

std::string ResponseHeaderValue(const std::string& response, const std::string& name) {
    std::size_t end = response.find("\r\n\r\n");
    std::string header = response.substr(0, end);
    std::string wanted = AsciiLower(name) + ":";
    std::size_t at = header.find('\n');
    while (at != std::string::npos) {
        std::size_t lineEnd = header.find('\n', at + 1);
        std::string line = header.substr(
            at + 1, lineEnd == std::string::npos ? std::string::npos : lineEnd - at - 1);
        if (AsciiLower(line.substr(0, wanted.size())) == wanted) {
            std::string value = line.substr(wanted.size());
            std::size_t first = value.find_first_not_of(" \t");
            std::size_t last = value.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string()
                                              : value.substr(first, last - first + 1);
        }
        at = lineEnd;
    }
    return std::string();
}

}  // namespace quillrun
