#include "gui/tasks/task_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryFile>
#include <cstdlib>

#include "core/config/app_state.h"
#include "core/platform/clock.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/recording/request_editor.h"
#include "core/skin/skin_geometry.h"
#include "core/tasks/scheduler.h"
#include "gui/app/gui_prompter.h"
#include "gui/recording/event_file_dialogs.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/request_editor_dialog.h"
#include "gui/skin/skin.h"
#include "gui/tasks/run_history_dialog.h"
#include "gui/tasks/task_details_dialog.h"
#include "gui/text.h"

namespace quillrun {
namespace {

QLabel* Static(QWidget* parent, const char* utf8, QRect geometry, const QColor& color,
               const QFont& font) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("background-color: %1;").arg(color.name()));
    return label;
}

PromptAnswer Say(QWidget* owner, const char* utf8, const char* caption, PromptIcon icon,
                 PromptButtons buttons = PromptButtons::Ok) {
    return ShowPrompt(owner, J(utf8), J(caption), buttons, icon);
}

}  // namespace

TaskPage::TaskPage(QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TaskPage"));
    BuildForm();
    BuildListAndButtons();
    eventView_ = new MethodListView(this, 50001);
    eventView_->setGeometry(17, 397, 598, 465);
    eventView_->InitEventColumns(&events_);
    FillTaskListBox();
    if (App().tasks.Count() > 0) {
        ShowTask(0);
        SelectInList(0);
    }
    KeepLayoutSize(QSize(543, 403));  // the page at the usual window size
}

// The task's name, date and time fields and its kind.
void TaskPage::BuildForm() {
    const Skin& skin = TheSkin();
    const QColor first(255, 143, 107), third(253, 191, 134);
    Static(this, "タスク登録", QRect(20, 40, 90, 20), third, skin.boldFont)
        ->setObjectName(QStringLiteral("1046"));
    Static(this, "タスク名", QRect(20, 70, 120, 20), first, skin.normalFont);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("1011"));
    name_->setGeometry(145, 70, 180, 22);
    name_->setFont(skin.normalFont);

    Static(this, "タスクの実行日時", QRect(20, 100, 120, 20), first, skin.normalFont);
    Static(this, "タスクの実行日", QRect(20, 126, 120, 20), first, skin.normalFont);
    Static(this, "タスクの実行時間", QRect(20, 154, 120, 20), first, skin.normalFont);
    Static(this, "タスクの実行タイプ", QRect(20, 182, 124, 20), first, skin.normalFont);
    const QRect geometry[] = {QRect(145, 126, 70, 22), QRect(230, 126, 48, 22),
                              QRect(293, 126, 48, 22), QRect(145, 154, 48, 22),
                              QRect(208, 154, 48, 22)};
    const int ids[] = {1012, 1013, 1014, 1016, 1017};
    for (int f = 0; f < 5; ++f) {
        combos_[f] = new QComboBox(this);
        combos_[f]->setObjectName(QString::number(ids[f]));
        combos_[f]->setGeometry(geometry[f]);
        combos_[f]->setFont(skin.normalFont);
        for (const std::string& entry : ComboEntries(f))
            combos_[f]->addItem(FromCp932(entry));
        combos_[f]->setCurrentIndex(-1);
    }
    Static(this, "/", QRect(219, 128, 8, 18), first, skin.normalFont);
    Static(this, "/", QRect(282, 128, 8, 18), first, skin.normalFont);
    Static(this, ":", QRect(197, 156, 8, 18), first, skin.normalFont);
    auto* group = new QButtonGroup(this);
    socket_ = new QRadioButton(QStringLiteral("Socket"), this);
    socket_->setObjectName(QStringLiteral("1050"));
    socket_->setGeometry(145, 182, 70, 20);
    ie_ = new QRadioButton(QStringLiteral("IE"), this);
    ie_->setObjectName(QStringLiteral("1051"));
    ie_->setGeometry(220, 182, 50, 20);
    group->addButton(socket_);
    group->addButton(ie_);
}

// The task list, its buttons, the details and the event view's label.
void TaskPage::BuildListAndButtons() {
    const Skin& skin = TheSkin();
    const QColor first(255, 143, 107);
    Static(this, "タスク一覧", QRect(350, 40, 80, 20), first, skin.normalFont);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("1015"));
    list_->setGeometry(350, 62, 178, 112);
    connect(list_, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_)
            SelectionChanged();
    });
    struct Button {
        const char* label;
        int id;
        void (TaskPage::*action)();
    } buttons[] = {{"登録", 1018, &TaskPage::Register},
                   {"更新", 1021, &TaskPage::Update},
                   {"コピー", 1020, &TaskPage::Copy},
                   {"削除", 1019, &TaskPage::Delete}};
    int x = 350;
    for (const Button& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.label), this);
        button->setObjectName(QString::number(b.id));
        button->setGeometry(x, 180, 44, 24);
        connect(button, &QPushButton::clicked, this, b.action);
        x += 45;
    }
    details_ = new QPushButton(QString::fromUtf8("詳細設定"), this);
    details_->setObjectName(QStringLiteral("details"));
    details_->setGeometry(145, 210, 90, 24);
    connect(details_, &QPushButton::clicked, this, &TaskPage::EditDetails);
    // The Task watch is also opened by Ctrl and a right click, which few users find.
    taskWatch_ = new QPushButton(QString::fromUtf8("タスクウォッチ"), this);
    taskWatch_->setObjectName(QStringLiteral("taskWatch"));
    taskWatch_->setGeometry(350, 240, 88, 24);
    connect(taskWatch_, &QPushButton::clicked, this, [this] {
        if (openTaskWatch_)
            openTaskWatch_();
    });
    // Did the task run? Every run's report, the newest first.
    auto* history = new QPushButton(QString::fromUtf8("実行履歴"), this);
    history->setObjectName(QStringLiteral("runHistory"));
    history->setGeometry(440, 240, 88, 24);
    connect(history, &QPushButton::clicked, this, [this] { RunHistoryDialog::Run(this); });
    // The selected task's next moment and its last run.
    runLine_ = new QLabel(this);
    runLine_->setObjectName(QStringLiteral("runLine"));
    runLine_->setGeometry(17, 240, 330, 34);
    runLine_->setFont(skin.normalFont);
    runLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    detailsSummary_ = new QLabel(this);
    detailsSummary_->setObjectName(QStringLiteral("detailsSummary"));
    detailsSummary_->setGeometry(242, 212, 260, 20);
    detailsSummary_->setFont(skin.normalFont);
    Static(this, "指定時間に実行するイベント", QRect(17, 280, 200, 18), first, skin.normalFont)
        ->setObjectName(QStringLiteral("eventsLabel"));
}

TaskPage::~TaskPage() {
    StoreFormByName(false);
}

int TaskPage::ToolbarTab() const {
    return kTabTask;
}

void TaskPage::resizeEvent(QResizeEvent* event) {
    Page::resizeEvent(event);
    PlaceEventList();
}

void TaskPage::paintEvent(QPaintEvent* event) {
    Page::paintEvent(event);
    if (width() > 0 && height() > 0)
        PlaceEventList();
}

void TaskPage::PlaceEventList() {
    eventView_->FitToParent(Layer());
    int height = LayoutSize().height();
    int labelY = height - 120;
    // Its 80 pixels at the page's bottom hold two rows; a taller page gives the list all the
    // room below the form (the page's usual size keeps the usual place).
    constexpr int kBelowForm = 300;
    if (height - 100 > kBelowForm + 20) {
        eventView_->setGeometry(eventView_->x(), kBelowForm, eventView_->width(),
                                height - 20 - kBelowForm);
        labelY = kBelowForm - 20;
    }
    if (auto* label = findChild<QLabel*>(QStringLiteral("eventsLabel")))
        label->move(17, labelY);
}

TaskForm TaskPage::Form() const {
    TaskForm form;
    form.name = CutToWidth(ToCp932(name_->text()), kPathWidth);
    int* fields[] = {&form.year, &form.month, &form.day, &form.hour, &form.minute};
    for (int f = 0; f < 5; ++f)
        *fields[f] = combos_[f]->currentIndex();
    form.execType = socket_->isChecked() ? 0 : ie_->isChecked() ? 1 : -1;
    return form;
}

void TaskPage::ShowForm(const TaskForm& form) {
    name_->setText(FromCp932(form.name));
    const int fields[] = {form.year, form.month, form.day, form.hour, form.minute};
    for (int f = 0; f < 5; ++f)
        combos_[f]->setCurrentIndex(fields[f]);
    if (form.execType >= 0)
        (form.execType == 0 ? socket_ : ie_)->setChecked(true);
}

void TaskPage::FillTaskListBox() {
    filling_ = true;
    list_->clear();
    LocalTime now = CurrentClock().Now();
    for (int i = 0; i < App().tasks.Count(); ++i) {
        auto* item = new QListWidgetItem(FromCp932(App().tasks.At(i).EventName), list_);
        // A task whose date and time have passed is shown grey, with why: it will not run.
        if (!TaskFallsDueAgain(App().tasks.At(i), now)) {
            item->setForeground(QColor(128, 128, 128));
            item->setToolTip(QString::fromUtf8("この日時は過ぎているため、実行されません"));
        }
    }
    list_->setCurrentRow(-1);
    filling_ = false;
}

void TaskPage::SelectInList(int index) {
    filling_ = true;
    list_->setCurrentRow(index);
    filling_ = false;
}

void TaskPage::ShowTask(int index) {
    pendingDetails_ = TaskRecord();  // the form shows a registered task from here on
    ShowForm(ShowTaskForm(App().tasks.At(index)));
    events_.LoadEventFile(App().tasks.At(index).EventDataFile);
    current_ = index;
    detailsSummary_->setText(TaskDetailsSummary(App().tasks.At(index)));
    ShowRunLine(App().tasks.At(index));
}

void TaskPage::RefreshRunLine() {
    if (current_ >= 0 && current_ < App().tasks.Count())
        ShowRunLine(App().tasks.At(current_));
}

void TaskPage::ShowRunLine(const TaskRecord& task) {
    LocalTime next;
    QString text =
        NextTaskMoment(task, CurrentClock().Now(), next)
            ? QString::fromUtf8("次回 ") + QString::fromStdString(DateTimeText(next).substr(5))
            : QString::fromUtf8("次回 なし（日時が過ぎています）");
    RunRecord last;
    text +=
        QStringLiteral("\n") + QString::fromUtf8("前回 ") +
        (LastRunOf(RunHistory(), task.EventName, last) ? LastRunText(last)
                                                       : QString::fromUtf8("まだ実行していません"));
    ShowCutLines(runLine_, text);  // each line cut to its room, the whole in the tip
}

void TaskPage::EditDetails() {
    int index = list_->currentRow();
    if (index < 0 || index >= App().tasks.Count()) {
        EditPendingDetails();
        return;
    }
    TaskDetailsDialog::Edit(App().tasks.At(index), this);
    detailsSummary_->setText(TaskDetailsSummary(App().tasks.At(index)));
}

// The task being entered has no file yet: its rows are shown to the dialog from a file of
// their own for the while.
void TaskPage::EditPendingDetails() {
    QTemporaryFile rows(QDir::tempPath() + QStringLiteral("/quillrun-details-XXXXXX.evf"));
    if (rows.open() && events_.SaveEventFile(rows.fileName().toStdString()))
        pendingDetails_.SetDataFile(rows.fileName().toStdString());
    TaskDetailsDialog::Edit(pendingDetails_, this);
    pendingDetails_.SetDataFile("");
    detailsSummary_->setText(TaskDetailsSummary(pendingDetails_));
}

void TaskPage::CommitTaskForm(int index) {
    TaskRecord& task = App().tasks.At(index);
    ReadTaskForm(Form(), task);
    std::string path = TaskEventFilePath(task.EventName);
    events_.SaveEventFile(path);
    task.SetDataFile(path);
}

bool TaskPage::RefuseName(NameProblem problem) {
    if (problem == NameProblem::None)
        return false;
    ShowPrompt(this, NameProblemMessage(problem), J("処理中断"), PromptButtons::Ok,
               PromptIcon::Stop);
    return true;
}

void TaskPage::SelectionChanged() {
    int selected = list_->currentRow();
    if (selected < 0 || selected == current_)
        return;
    if (current_ >= 0 && current_ < App().tasks.Count()) {
        std::string name = Form().name;
        if (name == App().tasks.At(current_).EventName) {
            CommitTaskForm(current_);
        } else {
            bool refused = false;
            if (name.empty()) {
                // As for an update: a task renamed to nothing would write "event/.evf".
                Say(this, "タスク名を入力してください", "未入力の項目があります", PromptIcon::Stop);
                refused = true;
            }
            if (refused || RefuseName(CheckTaskName(name, App().tasks, current_))) {
                name_->setText(FromCp932(App().tasks.At(current_).EventName));
                SelectInList(current_);
                return;
            }
            CommitTaskForm(current_);
            FillTaskListBox();
            SelectInList(selected);
        }
    }
    ShowTask(selected);
}

void TaskPage::Register() {
    if (name_->text().isEmpty()) {
        Say(this, "タスク名を入力してください", "未入力の項目があります", PromptIcon::Stop);
        return;
    }
    TaskForm form = Form();
    if (RefuseName(CheckTaskName(form.name, App().tasks, -1)))
        return;
    TaskRecord scratch;
    ReadTaskForm(form, scratch);
    CopyTaskDetails(pendingDetails_, scratch);  // its offset moves its moment
    // A date and time that have passed would be confirmed and then never run: asked first.
    if (!TaskFallsDueAgain(scratch, CurrentClock().Now()) &&
        ShowPrompt(this, J("この日時は過ぎているため、このタスクは実行されません。登録しますか？"),
                   J("実行されないタスク"), PromptButtons::YesNo,
                   PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    if (ShowPrompt(this, ScheduleDescription(scratch),
                   J("内容を確認し、登録する場合は「はい(Ｙ)」を押してください"),
                   PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    if (!App().tasks.Append(TaskRecord())) {
        Say(this, "メモリ不足により処理を継続できません", "Error", PromptIcon::Exclamation);
        return;
    }
    int last = App().tasks.Count() - 1;
    CommitTaskForm(last);
    CopyTaskDetails(pendingDetails_, App().tasks.At(last));
    pendingDetails_ = TaskRecord();
    FillTaskListBox();
    SelectInList(last);
    current_ = last;
}

void TaskPage::Update() {
    int index = list_->currentRow();
    if (index < 0) {
        Say(this, "更新対象のタスクを選択してください", "処理中断", PromptIcon::Stop);
        return;
    }
    std::string name = Form().name;
    if (name.empty()) {
        // An empty name would rename the task to nothing and write "event/.evf".
        Say(this, "タスク名を入力してください", "未入力の項目があります", PromptIcon::Stop);
        return;
    }
    if (name == App().tasks.At(index).EventName) {
        CommitTaskForm(index);
        return;
    }
    if (RefuseName(CheckTaskName(name, App().tasks, index))) {
        name_->setText(FromCp932(App().tasks.At(index).EventName));
        SelectInList(index);
        return;
    }
    CommitTaskForm(index);
    FillTaskListBox();
    SelectInList(index);
}

void TaskPage::Copy() {
    if (App().tasks.Count() == 0) {
        Say(this, "コピー可能なタスクが一つもありません", "処理中断", PromptIcon::None);
        return;
    }
    int index = list_->currentRow();
    if (index < 0) {
        Say(this, "タスク一覧からコピーするタスクを選択してください", "処理中断", PromptIcon::None);
        return;
    }
    std::string from = App().tasks.At(index).EventName;
    std::string candidate = CopyName(from, App().tasks);
    if (ShowPrompt(
            this, J("タスク「") + from + J("」をタスク「") + candidate + J("」としてコピーします"),
            J("コピー確認"), PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    TaskRecord copy = App().tasks.At(index);
    if (!App().tasks.Append(copy)) {
        Say(this, "メモリ不足により処理を継続できません", "Error", PromptIcon::Exclamation);
        return;
    }
    std::string path = TaskEventFilePath(candidate);
    std::string content;
    if (ReadWholeFile(copy.EventDataFile, content))
        WriteFileAtomically(path, content);
    int last = App().tasks.Count() - 1;
    App().tasks.At(last).SetName(candidate);
    App().tasks.At(last).SetDataFile(path);
    name_->setText(FromCp932(candidate));
    FillTaskListBox();
    SelectInList(last);
    current_ = last;
}

void TaskPage::Delete() {
    if (App().tasks.Count() == 0) {
        Say(this, "登録済みのタスクが一つもありません", "処理中断", PromptIcon::None);
        return;
    }
    int index = list_->currentRow();
    if (index < 0) {
        Say(this, "タスク一覧から削除するタスクを選択してください", "処理中断", PromptIcon::None);
        return;
    }
    std::string name = App().tasks.At(index).EventName;
    if (ShowPrompt(
            this, J("タスク「") + name + J("」を削除する場合は「はい(Ｙ)」を選択してください"),
            J("削除確認"), PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    RemoveFile(App().tasks.At(index).EventDataFile);
    App().tasks.Remove(index);
    FillTaskListBox();
    int count = App().tasks.Count();
    if (count == 0) {
        name_->clear();
        events_.Clear();
        events_.AppendEmptyPair();
    } else if (index >= count) {
        ShowTask(count - 1);
    } else {
        ShowForm(ShowTaskForm(App().tasks.At(index)));
        events_.LoadEventFile(App().tasks.At(index).EventDataFile);
    }
}

bool TaskPage::StoreFormByName(bool leaving) {
    std::string name = Form().name;
    for (int i = 0; i < App().tasks.Count(); ++i) {
        if (name != App().tasks.At(i).EventName)
            continue;
        CommitTaskForm(i);
        if (leaving) {
            SelectInList(i);
            current_ = i;
        }
        return true;
    }
    return false;
}

void TaskPage::OfferTakeOver() {
    if (recorded_ == nullptr || recorded_->RowCount() < 1 || recorded_->Cell(0, 2).empty())
        return;
    if (ShowPrompt(this,
                   J("記録したイベントがあります。イベントを移してタスクを新規作成しますか？"),
                   "Question", PromptButtons::YesNo, PromptIcon::None) != PromptAnswer::Yes) {
        return;
    }
    events_.TakeOverEvents(*recorded_);
    recorded_->Clear();
    std::string method = CutToWidth(events_.Cell(0, 1), kPathWidth);
    std::string url = CutToWidth(events_.Cell(0, 2), kPathWidth);
    TaskRecord scratch;
    scratch.SetName(TakeOverName(TakeOverBase(method, url), App().tasks));
    LocalTime now = CurrentClock().Now();
    scratch.EventTime_Year = now.year;
    scratch.EventTime_Month = now.month;
    scratch.EventTime_Day = now.day;
    scratch.EventTime_Hour = now.hour;
    scratch.EventTime_Minute = now.minute;
    TaskForm form = ShowTaskForm(scratch);
    form.execType = -1;  // the exec type stays as the form had it
    ShowForm(form);
}

void TaskPage::HandleLeftPress(const QPoint& p) {
    setFocus();
    int tab = App().currentTab;
    if (previousTab_ == kTabRecord && tab == kTabTask)
        OfferTakeOver();
    if (previousTab_ == kTabTask && tab != kTabTask)
        StoreFormByName(true);
    previousTab_ = tab;
    if (tab != kTabTask)
        return;
    switch (ToolbarButtonAt(p.x(), p.y(), 4)) {
        case 0:
            Register();
            break;
        case 1:
            Delete();
            break;
        case 2:
            ImportEvents();
            break;
        case 3:
            ExportEvents();
            break;
        default:
            break;
    }
}

void TaskPage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        HandleLeftPress(event->position().toPoint());
}

void TaskPage::ImportEvents() {
    ImportEventFile(this, events_);
}

void TaskPage::ExportEvents() {
    ExportEventFile(this, events_);
}

void TaskPage::DeleteFocusedEvent() {
    int row = eventView_->FocusRow();
    if (row < 0 || row % 2 != 0)
        return;
    events_.DeleteEvent(std::atoi(CutToWidth(events_.Cell(row, 0), kPathWidth).c_str()));
}

void TaskPage::OnDeleteKey() {
    if (list_->hasFocus()) {
        Delete();
    } else {
        DeleteFocusedEvent();
    }
}

void TaskPage::EditFocusedEvent() {
    int row = eventView_->FocusRow();
    if (row < 0 || row % 2 != 0)
        return;
    FillCurrentRequest(events_, row);
    RequestEditorDialog::Run(this, events_, row);
}

}  // namespace quillrun
