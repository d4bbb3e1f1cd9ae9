// The Task page's rules that need no widget: the task form and its record, the name rules, the
// schedule description, the copy's name and the name of a task taken over from a recording.
#pragma once

#include <string>

#include "core/config/task_list.h"

namespace quillrun {

// The form: the name and the selected entry of each combo box (-1 none, 0 the empty entry
// that stands for every), and the exec type radio buttons (-1 neither set).
struct TaskForm {
    std::string name;
    int year = -1, month = -1, day = -1, hour = -1, minute = -1;
    int execType = -1;
};

// Entry texts of the combo boxes: "" then "%04d" 1950-2049, "%02d" 1-12, 1-31, 0-23, 0-59.
std::vector<std::string> ComboEntries(int field);  // 0 year ... 4 minute

// ReadTaskForm: name (259 bytes at most), each field from its entry (empty or none: every),
// exec type 0 only when "Socket" is set. EventDataFile stays as it was.
void ReadTaskForm(const TaskForm& form, TaskRecord& record);
// ShowTaskForm: a value outside the offered range leaves its combo without a selection.
TaskForm ShowTaskForm(const TaskRecord& record);

enum class NameProblem { None, Reserved, ForbiddenCharacter, Taken };
// Rules 1 to 3 in that order; `ignore` is the index of the task being renamed (-1 none). The
// characters are looked for Shift_JIS-aware: the second byte of 表 is no backslash.
NameProblem CheckTaskName(const std::string& name, const TaskList& tasks, int ignore);
// The message of a problem (CP932); the caption is "処理中断".
std::string NameProblemMessage(NameProblem problem);

// "タスク <name> を 毎年 ... に実行します".
std::string ScheduleDescription(const TaskRecord& record);

// "<name>(n)" with the first n from 0 that no task carries; the name is shortened on a
// character boundary when the whole would pass 259 bytes.
std::string CopyName(const std::string& name, const TaskList& tasks);

// The base of a taken-over task's name: "setrequest" for a SET event, else the host of its URL
// (the URL itself without "://"), forbidden characters as "_", at most 259 bytes.
std::string TakeOverBase(const std::string& method, const std::string& url);
// "新規 [<base>]", or "<that> (n)" from 2 upwards while taken; always within 259 bytes.
std::string TakeOverName(const std::string& base, const TaskList& tasks);

// The event file of a task: program folder + "event/" + name + ".evf".
std::string TaskEventFilePath(const std::string& name);

}  // namespace quillrun
