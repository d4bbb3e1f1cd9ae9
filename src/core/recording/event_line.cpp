#include "core/recording/event_line.h"

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/web/url_encoding.h"

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
        case kMethodPut:
            return "PUT";
        case kMethodPatch:
            return "PATCH";
        case kMethodDelete:
            return "DELETE";
        default:
            return "";
    }
}

int EventMethodCode(std::string_view text) {
    for (int code = kMethodUrl; code <= kMethodDelete; ++code) {
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
    std::size_t tab2, tab3, tab4, tab5;
    std::string_view method = field(tab1, tab2);
    out.url = CutToWidth(field(tab2, tab3), kUrlWidth);
    out.data = CutToWidth(field(tab3, tab4), kDataWidth);
    out.headers = CutToWidth(field(tab4, tab5), kHeadersWidth);
    out.method = CutToWidth(method, kMethodWidth);
    if (IsScriptRow(out) && IsScriptMethod(EventMethodCode(method)))
        out.method = method;
    return true;
}

namespace {

bool IsTokenByte(unsigned char c) {
    if (c >= '0' && c <= '9')
        return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace

HeaderEntries SplitRowHeaders(std::string_view field) {
    HeaderEntries entries;
    while (!field.empty()) {
        std::size_t end = field.find(kHeaderSeparator);
        std::string_view entry = field.substr(0, end);
        std::size_t colon = entry.find(':');
        if (colon != std::string_view::npos && colon > 0)
            entries.emplace_back(std::string(TrimSpaces(entry.substr(0, colon))),
                                 std::string(TrimSpaces(entry.substr(colon + 1))));
        if (end == std::string_view::npos)
            break;
        field.remove_prefix(end + 1);
    }
    return entries;
}

std::string RefusedRowHeader(std::string_view name) {
    std::string lower = AsciiLower(std::string(TrimSpaces(name)));
    for (const char* own : {"content-length", "host", "cookie", "user-agent"}) {
        if (lower == own)
            return "header " + std::string(TrimSpaces(name)) + " is written by the sender itself";
    }
    for (const char* hop :
         {"connection", "keep-alive", "transfer-encoding", "te", "trailer", "upgrade"}) {
        if (lower == hop)
            return "header " + std::string(TrimSpaces(name)) + " is a hop-by-hop header";
    }
    if (lower.rfind("proxy-", 0) == 0)
        return "header " + std::string(TrimSpaces(name)) + " is a hop-by-hop header";
    return std::string();
}

std::string RefusedRowHeaders(std::string_view field) {
    for (const auto& [name, value] : SplitRowHeaders(field)) {
        std::string why = RefusedRowHeader(name);
        if (!why.empty())
            return why;
    }
    return std::string();
}

bool JoinRowHeaders(const HeaderEntries& entries, std::string& field, std::string& error) {
    std::string joined;
    for (const auto& [name, value] : entries) {
        if (name.empty()) {
            error = "a header without a name";
            return false;
        }
        for (unsigned char c : name) {
            if (!IsTokenByte(c)) {
                error = "header name " + name + " holds a character names may not hold";
                return false;
            }
        }
        std::string refused = RefusedRowHeader(name);
        if (!refused.empty()) {
            error = refused;
            return false;
        }
        if (HoldsControlByte(value)) {  // a tab too: it would end the field
            error = "the value of header " + name + " holds a control character";
            return false;
        }
        if (!joined.empty())
            joined += kHeaderSeparator;
        joined += name + ": " + std::string(TrimSpaces(value));
    }
    if (joined.size() >= kHeadersWidth) {
        error = "the headers are longer than " + std::to_string(kHeadersWidth - 1) + " bytes";
        return false;
    }
    field = std::move(joined);
    return true;
}

std::string RowHeaderValue(std::string_view field, std::string_view name) {
    for (const auto& [n, value] : SplitRowHeaders(field)) {
        if (AsciiLower(n) == AsciiLower(std::string(name)))
            return value;
    }
    return {};
}

bool RowBodyIsPercentEncoded(std::string_view headers) {
    std::string_view entry(kPercentBodyEntry);
    return headers.substr(0, entry.size()) == entry &&
           (headers.size() == entry.size() || headers[entry.size()] == kHeaderSeparator);
}

std::string ScriptRowBody(const EventLine& row) {
    std::string body = row.data;
    if (RowBodyIsPercentEncoded(row.headers))
        UrlDecode(body, 0, true);
    return body;
}

bool IsScriptMethod(int code) {
    return code == kMethodPut || code == kMethodPatch || code == kMethodDelete;
}

bool IsScriptRow(const EventLine& row) {
    return !row.headers.empty();
}

bool IsKnownRow(int code, std::string_view headers) {
    return code != kMethodNone && (!IsScriptMethod(code) || !headers.empty());
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
    std::string headers = row.headers;
    for (char& c : headers) {
        if (c == kHeaderSeparator)
            c = ' ';
    }
    return HoldsControlByte(row.method) || HoldsControlByte(row.url) ||
           HoldsControlByte(row.data) || HoldsControlByte(headers);
}

std::string RowRefusal(const EventLine& row) {
    if (RowHoldsControlBytes(row))
        return "control bytes";
    return RefusedRowHeaders(row.headers);
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
                            std::string_view data, std::string_view headers) {
    std::string line = std::to_string(ordinal);
    line += '\t';
    line += method;
    line += '\t';
    line += url;
    line += '\t';
    line += data;
    line += '\t';
    if (!headers.empty()) {
        line += headers;
        line += '\t';
    }
    line += "\r\n";
    return line;
}

}  // namespace quillrun
