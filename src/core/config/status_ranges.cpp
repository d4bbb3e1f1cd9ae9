#include "core/config/status_ranges.h"

#include <cctype>

namespace quillrun {

bool ReadStatusRanges(const std::string& text, std::vector<std::pair<int, int>>& ranges) {
    std::size_t i = 0;
    auto number = [&](int& out) {
        std::size_t start = i;
        long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               i - start < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        out = static_cast<int>(value);
        return i > start && value >= 100 && value <= 599;
    };
    auto spaces = [&] {
        while (i < text.size() && text[i] == ' ')
            ++i;
    };
    spaces();
    if (i == text.size())
        return false;
    while (i < text.size()) {
        int low = 0, high = 0;
        if (!number(low))
            return false;
        high = low;
        spaces();
        if (i < text.size() && text[i] == '-') {
            ++i;
            spaces();
            if (!number(high) || high < low)
                return false;
            spaces();
        }
        ranges.emplace_back(low, high);
        if (i == text.size())
            return true;
        if (text[i] != ',')
            return false;
        ++i;
        spaces();
        if (i == text.size())
            return false;  // a comma with nothing after it
    }
    return true;
}

bool ValidStatusRanges(const std::string& text) {
    std::vector<std::pair<int, int>> ranges;
    return ReadStatusRanges(text, ranges);
}

}  // namespace quillrun
