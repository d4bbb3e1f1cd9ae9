#include "gui/tasks/task_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/config/app_state.h"
#include "gui/text.h"

namespace quillrun {

TaskDetailsDialog::TaskDetailsDialog(const TaskRecord& task, QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8("詳細設定 - ") + FromCp932(task.EventName));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    offset_ = new QSpinBox(this);
    offset_->setObjectName(QStringLiteral("offsetMs"));
    offset_->setRange(-kOffsetLimitMs, kOffsetLimitMs);
    offset_->setSingleStep(100);
    offset_->setSuffix(QStringLiteral(" ms"));
    offset_->setValue(task.EventOffsetMs);
    offset_->setAccelerated(true);
    form->addRow(QString::fromUtf8("実行時刻のずれ(&O)"), offset_);
    layout->addLayout(form);
    auto* note = new QLabel(
        QString::fromUtf8("分の始まりから何ミリ秒ずらして実行するか (-30000 〜 30000)。\n"
                          "負の値は前の分のうちに実行します。Socket タスクは約 2 秒前に接続し、\n"
                          "その時刻に最初のリクエストを書き込みます。"),
        this);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    offset_->setFocus();
}

void TaskDetailsDialog::ApplyTo(TaskRecord& task) const {
    task.EventOffsetMs = offset_->value();
}

bool TaskDetailsDialog::Edit(TaskRecord& task, QWidget* owner) {
    TaskDetailsDialog dialog(task, owner);
    // The scheduler and the watch treat an open dialog of ours as modal.
    int before = App().modalDialog;
    App().modalDialog = 1;
    bool accepted = dialog.exec() == QDialog::Accepted;
    App().modalDialog = before;
    if (!accepted)
        return false;
    TaskRecord changed = task;
    dialog.ApplyTo(changed);
    bool differs = changed.EventOffsetMs != task.EventOffsetMs;
    task = changed;
    return differs;
}

QString TaskDetailsSummary(const TaskRecord& task) {
    if (task.EventOffsetMs == 0)
        return QString();
    return QString::fromUtf8("ずれ %1%2 ms")
        .arg(task.EventOffsetMs > 0 ? QStringLiteral("+") : QString())
        .arg(task.EventOffsetMs);
}

}  // namespace quillrun
