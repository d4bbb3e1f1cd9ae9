#include "gui/tasks/run_history_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/config/app_state.h"
#include "core/platform/clock.h"
#include "core/platform/files.h"
#include "gui/text.h"

namespace quillrun {

namespace {

// The outcome as the lists show it: the rule's verdict as the report has it, the program's
// own words in Japanese.
QString OutcomeText(const RunRecord& run) {
    if (run.success)
        return QString::fromUtf8("成功");
    if (run.verdict == "a row failed")
        return QString::fromUtf8("失敗（失敗した行あり）");
    if (run.verdict == "no row ran")
        return QString::fromUtf8("失敗（送った行なし）");
    return QString::fromUtf8("失敗: ") + QString::fromStdString(run.verdict);
}

}  // namespace

QString LastRunText(const RunRecord& run) {
    // "MM-DD hh:mm:ss.mmm": the year is this one's as a rule, and the line is short.
    std::string when =
        run.firstByte.empty() ? DateTimeText(run.started).substr(0, 19) : run.firstByte;
    return QString::fromStdString(when.substr(5)) + QString::fromUtf8(" 試行 %1 ").arg(run.tries) +
           OutcomeText(run);
}

void ShowCutLines(QLabel* label, const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = label->fontMetrics().elidedText(line, Qt::ElideRight, label->width());
    label->setText(lines.join(QLatin1Char('\n')));
    label->setToolTip(text);
}

RunHistoryDialog::RunHistoryDialog(QWidget* owner) : QDialog(owner), runs_(RunHistory()) {
    setWindowTitle(QString::fromUtf8("実行履歴"));
    setObjectName(QStringLiteral("runHistory"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("runs"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QString::fromUtf8("タスク"), QString::fromUtf8("開始"),
                            QString::fromUtf8("最初の送信"), QString::fromUtf8("結果"),
                            QString::fromUtf8("試行")});
    for (const RunRecord& run : runs_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, FromCp932(run.task));
        item->setText(1, QString::fromStdString(DateTimeText(run.started).substr(0, 19)));
        item->setText(2, QString::fromStdString(run.firstByte));
        item->setText(3, OutcomeText(run));
        item->setText(4, QString::number(run.tries));
    }
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenReport(list_->indexOfTopLevelItem(item)); });
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Fits the small screens the program is used on (800 x 600).
    resize(760, 420);
}

void RunHistoryDialog::OpenReport(int row) {
    if (row < 0 || row >= static_cast<int>(runs_.size()))
        return;
    std::string text;
    ReadWholeFile(runs_[row].path, text);
    QDialog report(this);
    report.setObjectName(QStringLiteral("runReport"));
    report.setWindowTitle(FromCp932(runs_[row].path));
    auto* layout = new QVBoxLayout(&report);
    auto* view = new QPlainTextEdit(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), &report);
    view->setObjectName(QStringLiteral("reportText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &report);
    connect(buttons, &QDialogButtonBox::rejected, &report, &QDialog::reject);
    layout->addWidget(buttons);
    report.resize(760, 420);
    report.exec();
}

void RunHistoryDialog::Run(QWidget* owner) {
    RunHistoryDialog dialog(owner);
    int before = App().modalDialog;
    App().modalDialog = 1;  // the scheduler and the watch treat it as modal
    dialog.exec();
    App().modalDialog = before;
}

}  // namespace quillrun
