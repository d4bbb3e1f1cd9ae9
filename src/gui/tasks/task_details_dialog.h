// "詳細設定": the settings of one task beyond its form, kept with the task: an offset from the
// start of its minute, the row written at the moment and its lead rows, the success rule, the
// retry window and when to be told of a run.
#pragma once

#include <QDialog>

#include "core/config/task_list.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QVBoxLayout;
class QLineEdit;
class QSpinBox;

namespace quillrun {

class TaskDetailsDialog : public QDialog {
    Q_OBJECT
  public:
    TaskDetailsDialog(const TaskRecord& task, QWidget* owner);

    QSpinBox* offsetBox() const { return offset_; }
    QLineEdit* expectBox() const { return expect_; }
    QLineEdit* rejectBox() const { return reject_; }
    QLineEdit* statusBox() const { return status_; }
    QSpinBox* retryEveryBox() const { return retryEvery_; }
    QSpinBox* retryForBox() const { return retryFor_; }
    QComboBox* notifyBox() const { return notify_; }
    QCheckBox* freshHiddenBox() const { return freshHidden_; }
    QComboBox* momentRowBox() const { return momentRow_; }
    QSpinBox* leadBox() const { return lead_; }
    // The task with the dialog's values.
    void ApplyTo(TaskRecord& task) const;

    // Opens the dialog for the task (modal); true when OK changed it.
    static bool Edit(TaskRecord& task, QWidget* owner);

  private:
    QSpinBox* offset_ = nullptr;
    QLineEdit* expect_ = nullptr;
    QLineEdit* reject_ = nullptr;
    QLineEdit* status_ = nullptr;
    QSpinBox* retryEvery_ = nullptr;
    QSpinBox* retryFor_ = nullptr;
    QComboBox* notify_ = nullptr;
    QCheckBox* freshHidden_ = nullptr;
    QComboBox* momentRow_ = nullptr;
    QSpinBox* lead_ = nullptr;

    // The row written at the moment (the event file's rows: number, method, address) and how
    // long before it the rows before it start.
    void AddMomentRow(QFormLayout* form, const TaskRecord& task);
    void AddButtons(QVBoxLayout* layout);
};

// The Task page's line about a task's details ("" when it has none).
QString TaskDetailsSummary(const TaskRecord& task);

}  // namespace quillrun
