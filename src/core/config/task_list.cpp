#include "core/config/task_list.h"

#include <new>
#include <stdexcept>

#include "core/platform/cp932.h"

namespace quillrun {

void TaskRecord::SetName(const std::string& name) {
    CopyToBuffer(EventName, sizeof(EventName), name);
}

bool TaskList::Append(const TaskRecord& record) {
    try {
        records_.push_back(record);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void TaskList::Remove(int index) {
    if (index < 0 || index >= Count())
        return;
    records_.erase(records_.begin() + index);
}

bool TaskList::Reset(int count) {
    records_.clear();
    if (count < 1)
        return true;
    try {
        records_.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

void CopyTaskDetails(const TaskRecord& from, TaskRecord& to) {
    to.EventOffsetMs = from.EventOffsetMs;
    to.EventExpectText = from.EventExpectText;
    to.EventRejectText = from.EventRejectText;
    to.EventExpectStatus = from.EventExpectStatus;
    to.EventRetryMs = from.EventRetryMs;
    to.EventRetrySeconds = from.EventRetrySeconds;
    to.EventNotify = from.EventNotify;
    to.EventFreshHidden = from.EventFreshHidden;
    to.EventMomentRow = from.EventMomentRow;
    to.EventLeadSeconds = from.EventLeadSeconds;
}

bool SameTaskDetails(const TaskRecord& a, const TaskRecord& b) {
    return a.EventOffsetMs == b.EventOffsetMs && a.EventExpectText == b.EventExpectText &&
           a.EventRejectText == b.EventRejectText && a.EventExpectStatus == b.EventExpectStatus &&
           a.EventRetryMs == b.EventRetryMs && a.EventRetrySeconds == b.EventRetrySeconds &&
           a.EventNotify == b.EventNotify && a.EventFreshHidden == b.EventFreshHidden &&
           a.EventMomentRow == b.EventMomentRow && a.EventLeadSeconds == b.EventLeadSeconds;
}

}  // namespace quillrun
