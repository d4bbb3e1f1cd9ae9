// What a replay tells its observer of rows that ended it before (or without) an exchange.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/formats/run_report.h"
#include "core/recording/event_line.h"
#include "core/web/url_split.h"

namespace quillrun {

// Tells the observer (when there is one) of a row that failed without an exchange: now, the
// row's method and URL, and why.
void ReportRowFailed(const RowObserver& observer, const std::string& method, const std::string& url,
                     const std::string& why);

// A row that cannot be replayed ends a replay: the observer hears of it (with why) and of every
// row after it up to the list's end, each as not sent, so that no run looks complete when it
// was not. `lines` are the event file's lines, `bad` the index of the row.
void ReportRowsNotSent(const std::vector<std::string>& lines, std::size_t bad,
                       const std::string& why, const RowObserver& observer);

// What both engines find first in a row: an event, the list's end, a line that is no event, or
// a damaged row (control bytes; said in the message list).
enum class RowFault { None, ListEnd, Unreadable, Damaged };
RowFault ReadReplayRow(const std::string& line, std::size_t index, EventLine& row);
// Reads row `index` of a replay's lines; false when it ends the replay, told to the observer as
// both engines tell it: a line that is no event (not the list's end) with the rows after it as
// not sent; a damaged row through `damaged` with the reason.
bool ReadReplayRowOrEnd(const std::vector<std::string>& lines, std::size_t index, EventLine& row,
                        const RowObserver& observer,
                        const std::function<void(const std::string& why)>& damaged);
// Why a row's address cannot be sent (unreadable, or a host wider than 259 bytes); empty when
// it can, with its parts.
std::string AddressFault(const std::string& url, UrlParts& parts);

}  // namespace quillrun
