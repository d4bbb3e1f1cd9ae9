#include "core/replay/row_report.h"

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"

namespace quillrun {

void ReportRowFailed(const RowObserver& observer, const std::string& method, const std::string& url,
                     const std::string& why) {
    if (!observer)
        return;
    RowResult result;
    result.at = CurrentClock().Now();
    result.method = method;
    result.url = url;
    result.outcome = why;
    observer(result);
}

void ReportRowsNotSent(const std::vector<std::string>& lines, std::size_t bad,
                       const std::string& why, const RowObserver& observer) {
    if (!observer || bad >= lines.size())
        return;
    auto say = [&observer](const EventLine& row, const std::string& outcome) {
        ReportRowFailed(observer, row.method, row.url, outcome);
    };
    EventLine shown;
    ParseEventLine(lines[bad], shown);
    say(shown, "row " + std::to_string(bad + 1) + " not sent: " + why);
    for (std::size_t later = bad + 1; later < lines.size(); ++later) {
        EventLine next;
        if (!ParseReplayRow(lines[later], next))
            break;  // the list's end
        say(next, "row " + std::to_string(later + 1) + " not sent: the replay ended at row " +
                      std::to_string(bad + 1));
    }
}

RowFault ReadReplayRow(const std::string& line, std::size_t index, EventLine& row) {
    if (!ParseReplayRow(line, row))
        return IsEventListEnd(line) ? RowFault::ListEnd : RowFault::Unreadable;
    if (RowHoldsControlBytes(row)) {
        AddMessage(DamagedRowMessage(index + 1));
        return RowFault::Damaged;
    }
    return RowFault::None;
}

bool ReadReplayRowOrEnd(const std::vector<std::string>& lines, std::size_t index, EventLine& row,
                        const RowObserver& observer,
                        const std::function<void(const std::string& why)>& damaged) {
    switch (ReadReplayRow(lines[index], index, row)) {
        case RowFault::ListEnd:
            return false;
        case RowFault::Unreadable:
            ReportRowsNotSent(lines, index, "it cannot be read as an event", observer);
            return false;
        case RowFault::Damaged:
            damaged("damaged row " + std::to_string(index + 1) + ": control bytes");
            return false;
        case RowFault::None:
            break;
    }
    // A header the row may not carry is never sent: the row is refused with the reason.
    std::string refused = RefusedRowHeaders(row.headers);
    if (!refused.empty()) {
        AddMessage(J("行 ") + std::to_string(index + 1) + J(" を送りません: ") + refused);
        ReportRowsNotSent(lines, index, refused, observer);
        return false;
    }
    return true;
}

std::string AddressFault(const std::string& url, UrlParts& parts) {
    if (!SplitUrl(url, parts))
        return "its URL cannot be read";
    if (parts.host.size() > kPathWidth - 1)
        return "its host is longer than 259 bytes";
    return std::string();
}

}  // namespace quillrun
