#include "core/recording/event_line.h"

#include "core/platform/cp932.h"
#include "core/platform/files.h"

namespace quillrun {

const char* EventMethodText(int code) {
    switch (code) {
        case kMethodUrl:
            return "URL";
        case kMethodGet:
            return "GET";
        case kMethodPost:
            return "POST";
        case kMethodSet:
            return "SET";
        default:
            return "";
    }
}

int EventMethodCode(std::string_view text) {
    for (int code = kMethodUrl; code <= kMethodSet; ++code) {
        if (text == EventMethodText(code))
            return code;
    }
    return kMethodNone;
}

bool ParseEventLine(std::string_view line, EventLine& out) {
    out = EventLine();
    std::size_t end = line.size();
    if (end > 0 && line[end - 1] == '\n')
        --end;
    line = line.substr(0, end);

    std::size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos)
        return false;
    auto field = [&line](std::size_t open, std::size_t& close) -> std::string_view {
        if (open == std::string_view::npos) {
            close = std::string_view::npos;
            return {};
        }
        close = line.find('\t', open + 1);
        std::size_t stop = close == std::string_view::npos ? line.size() : close;
        return line.substr(open + 1, stop - open - 1);
    };
    std::size_t tab2, tab3, tab4;
    out.method = CutToWidth(field(tab1, tab2), kMethodWidth);
    out.url = CutToWidth(field(tab2, tab3), kUrlWidth);
    out.data = CutToWidth(field(tab3, tab4), kDataWidth);
    return true;
}

bool ParseReplayRow(std::string_view line, EventLine& out) {
    return ParseEventLine(line, out) && !out.method.empty() && !out.url.empty();
}

bool IsEventListEnd(std::string_view line) {
    if (line.find_first_not_of(" \r\n") == std::string_view::npos)
        return true;
    EventLine row;
    return ParseEventLine(line, row) && row.method.empty() && row.url.empty();
}

bool LooksLikeEventFile(const std::string& content) {
    if (content.empty() || content.find('\0') != std::string::npos)
        return false;
    std::vector<std::string> lines = SplitEventFileLines(content);
    EventLine first;
    return !lines.empty() && ParseEventLine(lines[0], first);
}

bool RowHoldsControlBytes(const EventLine& row) {
    return HoldsControlByte(row.method) || HoldsControlByte(row.url) || HoldsControlByte(row.data);
}

std::string DamagedRowMessage(std::size_t rowNumber) {
    return J("イベントの ") + std::to_string(rowNumber) +
           J(" 行目に制御文字が含まれているため、再生を終了しました");
}

std::vector<std::string> SplitEventFileLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < content.size(); ++i) {
        char c = content[i];
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            continue;
        current += c;
        if (c == '\n' || current.size() >= kEventLineRead) {
            lines.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty())
        lines.push_back(std::move(current));
    return lines;
}

bool ReadEventFileLines(const std::string& path, std::vector<std::string>& lines) {
    std::string content;
    if (!ReadWholeFile(path, content))
        return false;
    lines = SplitEventFileLines(content);
    return true;
}

std::string FormatEventLine(int ordinal, std::string_view method, std::string_view url,
                            std::string_view data) {
    std::string line = std::to_string(ordinal);
    line += '\t';
    line += method;
    line += '\t';
    line += url;
    line += '\t';
    line += data;
    line += "\t\r\n";
    return line;
}

}  // namespace quillrun
