// An event list: two rows per event, a head row (number "%06d", method, URL) and a data row
// (empty, empty, data). At rest a list ends with one empty pair, the slot for a new event. The
// list widget only shows these rows' first three cells; a head row's fourth holds the headers
// of a script request.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/recording/event_line.h"

namespace quillrun {

class EventList {
  public:
    using Row = std::array<std::string, 4>;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int PairCount() const { return RowCount() / 2; }
    const Row& RowAt(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    const std::string& Cell(int row, int column) const {
        return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }

    // The texts of pair `pair` (0-based) as the lists' readers take them: cut to their widths.
    std::string MethodOf(int pair) const;
    std::string UrlOf(int pair) const;
    std::string DataOf(int pair) const;
    std::string HeadersOf(int pair) const;

    // Appends an event after whatever the list holds (used while recording and loading).
    void AddEvent(int method, const std::string& url, const std::string& data,
                  const std::string& headers = {});
    // Rewrites the pair that starts at head row `headRow`.
    void SetEvent(int headRow, int method, const std::string& url, const std::string& data,
                  const std::string& headers = {});
    void AppendEmptyPair();
    // Deletes event `number` (1-based); later events move up, number cells stay by position.
    void DeleteEvent(int number);
    void Clear();

    // True on a complete read; false when the file cannot be opened (list untouched) or when an
    // empty or tab-less line ended the load (events so far kept, no empty pair added).
    bool LoadEventFile(const std::string& path);
    // False when the file cannot be written.
    bool SaveEventFile(const std::string& path) const;
    // Saves `source` to the hand-over file "event/to_task.evf" and loads it into this list.
    bool TakeOverEvents(const EventList& source);

    // Called after every change, so a widget can show the rows again.
    void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

  private:
    void Changed() const {
        if (listener_)
            listener_();
    }

    std::vector<Row> rows_;
    std::function<void()> listener_;
};

// "%06d" of an event number.
std::string EventNumberText(int number);

}  // namespace quillrun
