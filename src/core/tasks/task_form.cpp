#include "core/tasks/task_form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform/cp932.h"
#include "core/platform/paths.h"

namespace quillrun {
namespace {

constexpr std::size_t kNameMax = kPathWidth - 1;
const char kForbidden[] = "\\/:*?\"<>|";

struct FieldRange {
    int first, last;
    const char* format;
};
const FieldRange kRanges[] = {
    {1950, 2049, "%04d"}, {1, 12, "%02d"}, {1, 31, "%02d"}, {0, 23, "%02d"}, {0, 59, "%02d"}};

int EntryToValue(int field, int entry) {
    if (entry <= 0)
        return kEvery;
    return kRanges[field].first + entry - 1;
}

int ValueToEntry(int field, int value) {
    if (value == kEvery)
        return 0;
    if (value < kRanges[field].first || value > kRanges[field].last)
        return -1;
    return value - kRanges[field].first + 1;
}

bool IsTaken(const std::string& name, const TaskList& tasks, int ignore) {
    for (int i = 0; i < tasks.Count(); ++i) {
        if (i != ignore && name == tasks.At(i).EventName)
            return true;
    }
    return false;
}

// Replaces the forbidden characters by "_", skipping second bytes of double-byte characters.
std::string ReplaceForbidden(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        // Only a real double-byte character hides its second byte: a lead byte before "/"
        // is no character, and the "/" would lead out of the event folder.
        if (IsSjisLeadByte(c) && i + 1 < out.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(out[i + 1]))) {
            ++i;
            continue;
        }
        if (c != 0 && std::strchr(kForbidden, c) != nullptr)
            out[i] = '_';
    }
    return out;
}

// base + suffix within 259 bytes, the base shortened on a character boundary.
std::string Fit(const std::string& base, const std::string& suffix) {
    if (base.size() + suffix.size() <= kNameMax)
        return base + suffix;
    return CutToWidth(base, kNameMax - suffix.size() + 1) + suffix;
}

}  // namespace

std::vector<std::string> ComboEntries(int field) {
    std::vector<std::string> entries{""};
    for (int v = kRanges[field].first; v <= kRanges[field].last; ++v) {
        char text[16];
        std::snprintf(text, sizeof(text), kRanges[field].format, v);
        entries.push_back(text);
    }
    return entries;
}

void ReadTaskForm(const TaskForm& form, TaskRecord& record) {
    record.SetName(form.name);
    record.EventTime_Year = EntryToValue(0, form.year);
    record.EventTime_Month = EntryToValue(1, form.month);
    record.EventTime_Day = EntryToValue(2, form.day);
    record.EventTime_Hour = EntryToValue(3, form.hour);
    record.EventTime_Minute = EntryToValue(4, form.minute);
    record.EventExecType = form.execType == 0 ? kExecSocket : kExecIE;
}

TaskForm ShowTaskForm(const TaskRecord& record) {
    TaskForm form;
    form.name = record.EventName;
    form.year = ValueToEntry(0, record.EventTime_Year);
    form.month = ValueToEntry(1, record.EventTime_Month);
    form.day = ValueToEntry(2, record.EventTime_Day);
    form.hour = ValueToEntry(3, record.EventTime_Hour);
    form.minute = ValueToEntry(4, record.EventTime_Minute);
    form.execType = record.EventExecType != 0 ? 1 : 0;
    return form;
}

NameProblem CheckTaskName(const std::string& name, const TaskList& tasks, int ignore) {
    if (name == "None")
        return NameProblem::Reserved;
    if (ReplaceForbidden(name) != name)
        return NameProblem::ForbiddenCharacter;
    if (IsTaken(name, tasks, ignore))
        return NameProblem::Taken;
    return NameProblem::None;
}

std::string NameProblemMessage(NameProblem problem) {
    switch (problem) {
        case NameProblem::Reserved:
            return J("Noneはシステムが利用するタスク名のため、利用できません");
        case NameProblem::ForbiddenCharacter:
            return J("タスク名の一部に文字 /:*?\"<>| は利用できません");
        case NameProblem::Taken:
            return J("同一の名前のタスクを登録できません");
        case NameProblem::None:
            break;
    }
    return std::string();
}

std::string ScheduleDescription(const TaskRecord& r) {
    auto part = [](int value, const char* every, const char* unit) {
        return value == kEvery ? J(every) : std::to_string(value) + J(unit);
    };
    return J("タスク ") + r.EventName + J(" を ") + part(r.EventTime_Year, "毎年 ", "年 ") +
           part(r.EventTime_Month, "毎月 ", "月 ") + part(r.EventTime_Day, "毎日 ", "日 ") +
           part(r.EventTime_Hour, "毎時 ", "時 ") + part(r.EventTime_Minute, "毎分 ", "分 ") +
           J("に実行します");
}

std::string CopyName(const std::string& name, const TaskList& tasks) {
    for (int n = 0;; ++n) {
        std::string candidate = Fit(name, "(" + std::to_string(n) + ")");
        if (!IsTaken(candidate, tasks, -1))
            return candidate;
    }
}

std::string TakeOverBase(const std::string& method, const std::string& url) {
    if (method == "SET")
        return "setrequest";
    std::string base = CutToWidth(url, kPathWidth);
    std::size_t scheme = base.find("://");
    if (scheme != std::string::npos) {
        // After the last slash of the first "//", up to the first "/", "?" or "#" after it.
        std::size_t start = scheme + 3;
        while (start < base.size() && base[start] == '/')
            ++start;
        std::size_t end = base.find_first_of("/?#", start);
        base = base.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return CutToWidth(ReplaceForbidden(base), kPathWidth);
}

std::string TakeOverName(const std::string& base, const TaskList& tasks) {
    const std::string open = J("新規 [");
    // Room for " (n)" behind, so that a numbered name keeps the same base within 259 bytes.
    const std::size_t maxBase = kNameMax - open.size() - 1 - 8;
    std::string fitted = CutToWidth(base, maxBase + 1);
    std::string name = open + fitted + "]";
    if (!IsTaken(name, tasks, -1))
        return name;
    for (int n = 2;; ++n) {
        std::string candidate = name + " (" + std::to_string(n) + ")";
        if (!IsTaken(candidate, tasks, -1))
            return candidate;
    }
}

std::string TaskEventFilePath(const std::string& name) {
    return ProgramPath("event/" + name + ".evf");
}

}  // namespace quillrun
