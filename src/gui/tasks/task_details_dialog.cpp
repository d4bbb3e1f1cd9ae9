#include "gui/tasks/task_details_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/recording/event_line.h"
#include "core/replay/success_rule.h"
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
    auto line = [this](const char* name, const std::string& text) {
        auto* box = new QLineEdit(FromCp932(text), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    expect_ = line("expectText", task.EventExpectText);
    expect_->setPlaceholderText(QString::fromUtf8("例: 予約が完了しました"));
    form->addRow(QString::fromUtf8("成功の印の文字列(&E)"), expect_);
    reject_ = line("rejectText", task.EventRejectText);
    reject_->setPlaceholderText(QString::fromUtf8("例: 受付前です"));
    form->addRow(QString::fromUtf8("失敗の印の文字列(&R)"), reject_);
    status_ = line("expectStatus", task.EventExpectStatus);
    status_->setPlaceholderText(QString::fromUtf8("空欄: 200-399"));
    form->addRow(QString::fromUtf8("成功とするステータス(&S)"), status_);
    retryEvery_ = new QSpinBox(this);
    retryEvery_->setObjectName(QStringLiteral("retryEveryMs"));
    retryEvery_->setRange(0, 3600000);
    retryEvery_->setSingleStep(100);
    retryEvery_->setSuffix(QStringLiteral(" ms"));
    retryEvery_->setSpecialValueText(QString::fromUtf8("再試行しない"));
    retryEvery_->setValue(task.EventRetryMs);
    form->addRow(QString::fromUtf8("失敗したら再試行する間隔(&I)"), retryEvery_);
    retryFor_ = new QSpinBox(this);
    retryFor_->setObjectName(QStringLiteral("retrySeconds"));
    retryFor_->setRange(0, 3600);
    retryFor_->setSuffix(QString::fromUtf8(" 秒"));
    retryFor_->setValue(task.EventRetrySeconds);
    form->addRow(QString::fromUtf8("再試行する時間 (実行時刻から)(&W)"), retryFor_);
    notify_ = new QComboBox(this);
    notify_->setObjectName(QStringLiteral("notify"));
    notify_->addItems({QString::fromUtf8("通知しない"), QString::fromUtf8("失敗したとき"),
                       QString::fromUtf8("毎回")});
    notify_->setCurrentIndex(std::clamp(task.EventNotify, 0, 2));
    form->addRow(QString::fromUtf8("デスクトップ通知(&N)"), notify_);
    freshHidden_ = new QCheckBox(QString::fromUtf8("隠しフィールドを新しくする(&H)"), this);
    freshHidden_->setObjectName(QStringLiteral("freshHidden"));
    freshHidden_->setToolTip(QString::fromUtf8(
        "フォームの隠しフィールド (CSRF トークンなど) に、直前のページが今くれる値を送ります"));
    freshHidden_->setChecked(task.EventFreshHidden == 1);
    form->addRow(QString(), freshHidden_);
    AddMomentRow(form, task);
    layout->addLayout(form);
    auto* note = new QLabel(
        QString::fromUtf8(
            "分の始まりから何ミリ秒ずらして実行するか (-30000 〜 30000)。\n"
            "負の値は前の分のうちに実行します。Socket タスクは約 2 秒前に接続し、\n"
            "その時刻に最初のリクエストを書き込みます。\n"
            "時刻に送る行より前の行 (ログインなど) は、指定した秒数前から先に送ります。\n"
            "成功の印・失敗の印は最後の応答 (IE タスクは最後のページ) の文字列で、\n"
            "再試行は失敗したときだけ、次の実行時刻の前まで行います。"),
        this);
    layout->addWidget(note);
    AddButtons(layout);
    offset_->setFocus();
}

// OK (refused while the statuses do not read right) and Cancel.
void TaskDetailsDialog::AddButtons(QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!status_->text().trimmed().isEmpty() &&
            !ValidStatusRanges(status_->text().trimmed().toStdString())) {
            status_->setFocus();
            status_->selectAll();
            status_->setToolTip(QString::fromUtf8("200-299,302 のように書いてください"));
            return;  // the dialog stays open until the statuses read right
        }
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TaskDetailsDialog::AddMomentRow(QFormLayout* form, const TaskRecord& task) {
    momentRow_ = new QComboBox(this);
    momentRow_->setObjectName(QStringLiteral("momentRow"));
    std::vector<std::string> lines;
    ReadEventFileLines(task.EventDataFile, lines);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        EventLine row;
        if (!ParseReplayRow(lines[n], row))
            break;
        QString address = FromCp932(row.url);
        if (address.size() > 60)
            address = address.left(57) + QStringLiteral("...");
        momentRow_->addItem(
            QStringLiteral("%1  %2  %3").arg(n + 1).arg(FromCp932(row.method), address));
    }
    if (momentRow_->count() == 0)
        momentRow_->addItem(QStringLiteral("1"));
    while (momentRow_->count() < task.EventMomentRow)  // a row the file no longer has
        momentRow_->addItem(QString::number(momentRow_->count() + 1));
    momentRow_->setCurrentIndex(std::max(task.EventMomentRow, 1) - 1);
    form->addRow(QString::fromUtf8("時刻に送る行(&M)"), momentRow_);
    lead_ = new QSpinBox(this);
    lead_->setObjectName(QStringLiteral("leadSeconds"));
    lead_->setRange(1, kLongestLeadSeconds);
    lead_->setSuffix(QString::fromUtf8(" 秒前"));
    lead_->setValue(task.EventLeadSeconds);
    form->addRow(QString::fromUtf8("それより前の行を始める時刻(&L)"), lead_);
}

void TaskDetailsDialog::ApplyTo(TaskRecord& task) const {
    task.EventOffsetMs = offset_->value();
    // Texts stored like the name: within its width, on a character boundary.
    task.EventExpectText = CutToWidth(ToCp932(expect_->text()), kPathWidth);
    task.EventRejectText = CutToWidth(ToCp932(reject_->text()), kPathWidth);
    std::string status = status_->text().trimmed().toStdString();
    task.EventExpectStatus = ValidStatusRanges(status) ? status : std::string();
    int every = retryEvery_->value();
    task.EventRetryMs = every == 0 ? 0 : std::max(every, RetryWindow::kShortestEveryMs);
    task.EventRetrySeconds = retryFor_->value();
    task.EventNotify = notify_->currentIndex();
    task.EventFreshHidden = freshHidden_->isChecked() ? 1 : 0;
    task.EventMomentRow = momentRow_->currentIndex() + 1;
    task.EventLeadSeconds = lead_->value();
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
    bool differs = !SameTaskDetails(changed, task);
    task = changed;
    return differs;
}

QString TaskDetailsSummary(const TaskRecord& task) {
    QStringList parts;
    if (task.EventOffsetMs != 0) {
        parts << QString::fromUtf8("ずれ %1%2 ms")
                     .arg(task.EventOffsetMs > 0 ? QStringLiteral("+") : QString())
                     .arg(task.EventOffsetMs);
    }
    if (!task.EventExpectText.empty() || !task.EventRejectText.empty() ||
        !task.EventExpectStatus.empty())
        parts << QString::fromUtf8("判定");
    if (task.EventRetryMs > 0 && task.EventRetrySeconds > 0)
        parts << QString::fromUtf8("再試行");
    if (task.EventFreshHidden == 1)
        parts << QString::fromUtf8("隠し項目更新");
    if (task.EventMomentRow > 1)
        parts << QString::fromUtf8("時刻の行 %1").arg(task.EventMomentRow);
    return parts.join(QStringLiteral(" / "));
}

}  // namespace quillrun
