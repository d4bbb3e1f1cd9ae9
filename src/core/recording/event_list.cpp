#include "core/recording/event_list.h"

#include <cstdio>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"

namespace quillrun {

std::string EventNumberText(int number) {
    char text[16];
    std::snprintf(text, sizeof(text), "%06d", number);
    return text;
}

std::string EventList::MethodOf(int pair) const {
    const std::string& method = Cell(pair * 2, 1);
    return IsKnownRow(EventMethodCode(method), HeadersOf(pair)) ? method
                                                                : CutToWidth(method, kMethodWidth);
}

std::string EventList::UrlOf(int pair) const {
    return CutToWidth(Cell(pair * 2, 2), kUrlWidth);
}

std::string EventList::DataOf(int pair) const {
    return CutToWidth(Cell(pair * 2 + 1, 2), kDataWidth);
}

std::string EventList::HeadersOf(int pair) const {
    return CutToWidth(Cell(pair * 2, 3), kHeadersWidth);
}

void EventList::AddEvent(int method, const std::string& url, const std::string& data,
                         const std::string& headers) {
    int n = RowCount();
    rows_.push_back(Row{EventNumberText(n / 2 + 1), EventMethodText(method), url, headers});
    rows_.push_back(Row{"", "", data});
    Changed();
}

void EventList::SetEvent(int headRow, int method, const std::string& url, const std::string& data,
                         const std::string& headers) {
    if (headRow < 0 || headRow + 1 >= RowCount())
        return;
    rows_[static_cast<std::size_t>(headRow)] =
        Row{EventNumberText(headRow / 2 + 1), EventMethodText(method), url, headers};
    rows_[static_cast<std::size_t>(headRow) + 1] = Row{"", "", data};
    Changed();
}

void EventList::AppendEmptyPair() {
    rows_.push_back(Row{});
    rows_.push_back(Row{});
    Changed();
}

void EventList::DeleteEvent(int number) {
    if (number < 1)
        return;
    int c = RowCount();
    int r = 2 * number - 2;
    if (r >= c)
        return;
    for (; r < c - 2; r += 2) {
        auto& head = rows_[static_cast<std::size_t>(r)];
        const auto& next = rows_[static_cast<std::size_t>(r) + 2];
        head[1] = next[1];
        head[2] = next[2];
        head[3] = next[3];
        rows_[static_cast<std::size_t>(r) + 1][2] = rows_[static_cast<std::size_t>(r) + 3][2];
        if (head[2].empty())
            head[0].clear();
    }
    rows_.resize(static_cast<std::size_t>(c - 2));
    Changed();
}

void EventList::Clear() {
    rows_.clear();
    Changed();
}

bool EventList::LoadEventFile(const std::string& path) {
    std::vector<std::string> lines;
    if (!ReadEventFileLines(path, lines))
        return false;
    rows_.clear();
    std::function<void()> listener = std::move(listener_);  // one notice for the whole load
    bool complete = true;
    for (const std::string& line : lines) {
        EventLine event;
        if (line.empty() || !ParseEventLine(line, event)) {
            complete = false;
            break;
        }
        int code = EventMethodCode(event.method);
        if (IsKnownRow(code, event.headers))
            AddEvent(code, event.url, event.data, event.headers);
    }
    if (complete)
        AppendEmptyPair();
    listener_ = std::move(listener);
    Changed();
    return complete;
}

bool EventList::SaveEventFile(const std::string& path) const {
    std::string content;
    for (int pair = 0; pair < PairCount(); ++pair) {
        content +=
            FormatEventLine(pair + 1, MethodOf(pair), UrlOf(pair), DataOf(pair), HeadersOf(pair));
    }
    return WriteFileAtomically(path, content);
}

bool EventList::TakeOverEvents(const EventList& source) {
    std::string handOver = ProgramPath("event/to_task.evf");
    source.SaveEventFile(handOver);
    LoadEventFile(handOver);
    return true;
}

}  // namespace quillrun
