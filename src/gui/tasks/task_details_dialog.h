// "詳細設定": the settings of one task beyond its form, kept with the task (an offset from the
// start of its minute, in milliseconds).
#pragma once

#include <QDialog>

#include "core/tasks/task_list.h"

class QSpinBox;

namespace quillrun {

class TaskDetailsDialog : public QDialog {
    Q_OBJECT
  public:
    TaskDetailsDialog(const TaskRecord& task, QWidget* owner);

    QSpinBox* offsetBox() const { return offset_; }
    // The task with the dialog's values.
    void ApplyTo(TaskRecord& task) const;

    // Opens the dialog for the task (modal); true when OK changed it.
    static bool Edit(TaskRecord& task, QWidget* owner);

  private:
    QSpinBox* offset_ = nullptr;
};

// The Task page's line about a task's details ("" when it has none).
QString TaskDetailsSummary(const TaskRecord& task);

}  // namespace quillrun
