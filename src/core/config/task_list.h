// The task record and the one task list of the running program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/platform/paths.h"

namespace quillrun {

constexpr std::int32_t kEvery = -1;  // the one wildcard of a time field
constexpr std::int32_t kExecSocket = 0;
constexpr std::int32_t kExecIE = 1;             // the scheduler treats every non-zero value as IE
constexpr std::int32_t kOffsetLimitMs = 30000;  // a task fires at most 30 s off its minute
// A failed run is tried again at most this often: no site is asked more often than this.
constexpr std::int32_t kShortestRetryEveryMs = 100;
// Lead rows (those before a task's moment row) start this many seconds before the moment.
constexpr std::int32_t kDefaultLeadSeconds = 30;
constexpr std::int32_t kLongestLeadSeconds = 3600;

struct TaskRecord {
    char EventName[kPathWidth] = {};
    // The event file's path: a program path, never cut (a long program folder would otherwise
    // make it another file's).
    std::string EventDataFile;
    std::int32_t EventTime_Year = 0;
    std::int32_t EventTime_Month = 0;
    std::int32_t EventTime_Day = 0;
    std::int32_t EventTime_Hour = 0;
    std::int32_t EventTime_Minute = 0;
    std::int32_t EventExecType = kExecSocket;
    // Milliseconds before (negative) or after the start of the task's minute at which it fires;
    // stored only when not 0.
    std::int32_t EventOffsetMs = 0;
    // Whether a run reached its goal, and the window in which it is tried again; each key is
    // stored only when set (a task without them is written as it always was).
    std::string EventExpectText;    // CP932, like the name
    std::string EventRejectText;    // CP932
    std::string EventExpectStatus;  // "200-299"; empty: 2xx and 3xx
    std::int32_t EventRetryMs = 0;
    std::int32_t EventRetrySeconds = 0;
    std::int32_t EventNotify = 1;       // 0 never, 1 on failure, 2 always
    std::int32_t EventFreshHidden = 0;  // 1: hidden fields take the values the site gives now
    // The row written at the moment (from 1; stored only when not 1) and how long before it the
    // rows before it start (seconds; stored only when not 30).
    std::int32_t EventMomentRow = 1;
    std::int32_t EventLeadSeconds = kDefaultLeadSeconds;

    // Cut to 259 bytes on a character boundary.
    void SetName(const std::string& name);
    void SetDataFile(const std::string& path) { EventDataFile = path; }
};

// The details of a task (its 詳細設定: offset, success rule, retry window, notification, fresh
// hidden fields, moment row and lead): copied from one task to another, and compared.
void CopyTaskDetails(const TaskRecord& from, TaskRecord& to);
bool SameTaskDetails(const TaskRecord& a, const TaskRecord& b);

// Tasks in registration order, which is also the order the scheduler starts them in and the
// order of the "Event%d" sections.
class TaskList {
  public:
    int Count() const { return static_cast<int>(records_.size()); }
    const TaskRecord& At(int index) const { return records_[static_cast<std::size_t>(index)]; }
    TaskRecord& At(int index) { return records_[static_cast<std::size_t>(index)]; }

    // Appends one record at the end; false (list unchanged) when memory runs out.
    bool Append(const TaskRecord& record);
    // Removes the record at index; the following records move down by one.
    void Remove(int index);
    void Replace(int index, const TaskRecord& record) { At(index) = record; }
    // Empties the list and makes room for count records; false when that cannot be had.
    bool Reset(int count);
    void Clear() { records_.clear(); }

  private:
    std::vector<TaskRecord> records_;
};

}  // namespace quillrun
