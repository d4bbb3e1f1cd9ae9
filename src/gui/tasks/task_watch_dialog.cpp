#include "gui/tasks/task_watch_dialog.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimerEvent>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/clock_sync.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/replay/task_run.h"
#include "core/tasks/scheduler.h"
#include "gui/app/gui_prompter.h"
#include "gui/recording/method_list_view.h"
#include "gui/skin/skin.h"
#include "gui/skin/window_fit.h"
#include "gui/tasks/linux_power.h"
#include "gui/tasks/run_history_dialog.h"
#include "gui/text.h"

namespace quillrun {
namespace {

QLabel* Text(QWidget* parent, const char* utf8, QRect geometry) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    return label;
}

QLabel* Big(QWidget* parent, int id, QRect geometry, Qt::Alignment align = Qt::AlignRight) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    label->setGeometry(geometry);
    label->setFont(TheSkin().largeBoldFont);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

}  // namespace

TaskWatchDialog::TaskWatchDialog(QWidget* owner) : QDialog(owner) {
    if (App().modalDialog == 1)
        return;
    App().modalDialog = 1;
    opened_ = true;
    setWindowTitle(QString::fromUtf8("タスクウォッチ"));
    resize(590, 330);

    auto* group = new QGroupBox(QString::fromUtf8("次のタスク 実行情報"), this);
    group->setGeometry(10, 8, 570, 112);
    Text(this, "タスク名", QRect(24, 32, 70, 24));
    Big(this, 1020, QRect(96, 30, 470, 26), Qt::AlignLeft);
    Text(this, "タスクの実行日", QRect(24, 62, 100, 24));
    Big(this, 1028, QRect(124, 60, 56, 26));
    Text(this, "年", QRect(182, 62, 20, 24));
    Big(this, 1029, QRect(202, 60, 30, 26));
    Text(this, "月", QRect(234, 62, 20, 24));
    Big(this, 1030, QRect(254, 60, 30, 26));
    Text(this, "日", QRect(286, 62, 20, 24));
    Text(this, "タスクの実行時間", QRect(320, 62, 110, 24));
    Big(this, 1031, QRect(430, 60, 30, 26));
    Text(this, "時", QRect(462, 62, 20, 24));
    Big(this, 1032, QRect(482, 60, 30, 26));
    Text(this, "分", QRect(514, 62, 20, 24));
    Text(this, "実行まであと", QRect(24, 90, 100, 24));
    Big(this, 1033, QRect(124, 88, 130, 26));
    Text(this, "秒", QRect(258, 90, 20, 24));
    // The moment itself, with the task's offset and its milliseconds, counted down to.
    auto* moment = new QLabel(this);
    moment->setObjectName(QStringLiteral("1034"));
    moment->setGeometry(290, 90, 285, 24);
    moment->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* clock = new QLabel(this);
    clock->setObjectName(QStringLiteral("1035"));
    clock->setGeometry(300, 126, 255, 18);
    clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Text(this, "実行するイベント", QRect(35, 126, 200, 18));
    view_ = new MethodListView(this, 19311);
    view_->setGeometry(35, 145, 520, 80);
    view_->InitWatchColumns(&events_);
    view_->setEnabled(false);

    // The run going on now, else how the last one went: the next task's line shows the task
    // after it meanwhile.
    auto* runState = new QLabel(this);
    runState->setObjectName(QStringLiteral("runState"));
    runState->setGeometry(20, 234, 278, 32);
    runState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* standby = new QLabel(this);
    standby->setObjectName(QStringLiteral("110"));
    standby->setGeometry(303, 238, 180, 26);
    standby->setPixmap(QPixmap(TheSkin().dataFolder + QStringLiteral("object/standby.bmp")));
    standby->setAttribute(Qt::WA_TransparentForMouseEvents);
    Text(this,
         "*ご注意：このボタンを押すとコンピューターをスタンバイモードに移行します。("
         "次のタスク時間前に自動で"
         "復帰します) "
         "他に実行中のソフトウェアがある場合、安全のためそのソフトウェアの処理が終わるまで"
         "待つかソフトウェアを保存終了させてから実行してください。",
         QRect(20, 268, 555, 56));

    ComputeNextTaskAndShow();
    timer_ = startTimer(1000);
    countdownTimer_ = startTimer(100, Qt::PreciseTimer);
}

TaskWatchDialog::~TaskWatchDialog() {
    if (timer_ != 0)
        killTimer(timer_);
    if (countdownTimer_ != 0)
        killTimer(countdownTimer_);
    if (opened_)
        App().modalDialog = 0;
}

void TaskWatchDialog::Run(QWidget* owner) {
    TaskWatchDialog dialog(owner);
    if (!dialog.Opened())
        return;
    dialog.exec();
}

QLabel* TaskWatchDialog::Static(int id) const {
    return findChild<QLabel*>(QString::number(id));
}

void TaskWatchDialog::ComputeNextTaskAndShow() {
    NextTask next = ComputeNextTask(App().tasks, CurrentClock().Now());
    display_ = DisplayOf(next, App().tasks);
    Static(1020)->setText(FromCp932(display_.name));
    Static(1028)->setText(FromCp932(display_.year));
    Static(1029)->setText(FromCp932(display_.month));
    Static(1030)->setText(FromCp932(display_.day));
    Static(1031)->setText(FromCp932(display_.hour));
    Static(1032)->setText(FromCp932(display_.minute));
    Static(1033)->setText(FromCp932(display_.seconds));
    if (next.found) {
        events_.LoadEventFile(App().tasks.At(next.index).EventDataFile);
        moment_ =
            TaskMoment(LocalTime{next.year, next.month, next.day, next.hour, next.minute, 0, 0},
                       App().tasks.At(next.index).EventOffsetMs);
    }
    hasMoment_ = next.found;
    ShowCountdown();
    Static(1035)->setText(FromCp932(ClockSyncLabel(ReadClockSync())));
    ShowRunState();
}

void TaskWatchDialog::ShowRunState() {
    auto* label = findChild<QLabel*>(QStringLiteral("runState"));
    std::vector<std::string> running = RunningTasks();
    QString text;
    if (!running.empty()) {
        QStringList names;
        for (const std::string& name : running)
            names << FromCp932(name);
        text = QString::fromUtf8("実行中: ") + names.join(QStringLiteral(", "));
    } else {
        std::vector<RunRecord> history = RunHistory();
        text = history.empty() ? QString()
                               : QString::fromUtf8("前回 ") + FromCp932(history.front().task) +
                                     QStringLiteral("\n") + LastRunText(history.front());
    }
    ShowCutLines(label, text);
}

void TaskWatchDialog::ShowCountdown() {
    if (!hasMoment_) {
        Static(1034)->clear();
        return;
    }
    long long left = ToEpochMilliseconds(moment_) - ToEpochMilliseconds(CurrentClock().Now());
    if (left < 0)
        left = 0;
    // Both countdowns from the one moment (its offset included), both cut to what has fully
    // passed: the whole seconds beside the tenths never disagree.
    Static(1033)->setText(QString::number(left / 1000));
    Static(1034)->setText(QString::fromUtf8("%1 まで %2.%3 秒")
                              .arg(QString::fromStdString(DateTimeText(moment_).substr(11)))
                              .arg(left / 1000)
                              .arg(left % 1000 / 100));
}

void TaskWatchDialog::Tick() {
    ComputeNextTaskAndShow();
    if (!StandbyCycleTick(App(), display_))
        return;
    ResumeDialog resume(this);
    // Only the countdown's end (or the close box) goes on to standby: a dialog that returned
    // because the program is ending leaves the machine awake.
    if (resume.exec() != QDialog::Accepted || App().ending == 1)
        return;
    if (App().standbyArmed == 1 && !StandbyUntilNextTask())
        App().standbyArmed = 0;
}

void TaskWatchDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_)
        Tick();
    else if (event->timerId() == countdownTimer_)
        ShowCountdown();
}

void TaskWatchDialog::reject() {
    // Esc does not close the watch; its close box does.
}

void TaskWatchDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    done(QDialog::Rejected);
}

void TaskWatchDialog::mousePressEvent(QMouseEvent* event) {
    QPoint p = event->position().toPoint();
    if (event->button() != Qt::LeftButton)
        return;  // a right press is consumed
    if (p.x() >= 303 && p.x() <= 482 && p.y() >= 238 && p.y() <= 263)
        PressStandby();
}

void TaskWatchDialog::PressStandby() {
    long long seconds = std::atoll(display_.seconds.c_str());
    const char* text;
    PromptIcon icon = PromptIcon::Exclamation;
    if (display_.name == "None") {
        text =
            "次に実行されるタスクがありません。スタンバイに移行できますが、自動で復帰しません。"
            "よろしいですか？";
    } else if (seconds <= 600) {
        text =
            "次のタスクまでの時間が少なくなっています。スタンバイに移行できますが、自動復帰が"
            "間に合わない可能性があります。よろしいですか？";
    } else {
        text =
            "コンピューターをスタンバイモードに移行します。次のタスク実行前に自動で復帰します。"
            "よろしいですか？";
        icon = PromptIcon::Question;
    }
    if (ShowPrompt(this, J(text), J("省電力モードへ移行"), PromptButtons::YesNo, icon) !=
        PromptAnswer::Yes) {
        return;
    }
    // Without a wake timer the machine would sleep through its tasks: no cycle then.
    if (StandbyUntilNextTask())
        App().standbyArmed = 1;
}

bool TaskWatchDialog::StandbyUntilNextTask() {
    WakeTime w = WakeTimeFor(display_);
    switch (ThePower().SuspendWithWakeTimer(w.year, w.month, w.day, w.hour, w.minute, 0)) {
        case SuspendResult::Resumed:
            return true;
        case SuspendResult::SuspendRefused:
            // The cycle goes on as after a wake, but the user learns that the machine stayed up.
            AddMessage(
                J("スタンバイに移行できませんでした（この環境では省電力モードが使えません）"));
            return true;
        case SuspendResult::WakeTimeInPast: {
            std::string why =
                J("復帰時刻が過ぎているため、スタンバイに移行しません。"
                  "このままでは次のタスクの前に復帰できません。");
            AddMessage(why);
            ShowPrompt(this, why, J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
            return false;
        }
        case SuspendResult::WakeTimerRefused:
            break;
    }
    std::string why =
        J("復帰用のタイマー（/sys/class/rtc/rtc0/wakealarm）を設定できないため、"
          "スタンバイに移行しません。このままでは次のタスクの前に復帰できません。"
          "設定の方法は README をご覧ください。");
    AddMessage(why);
    ShowPrompt(this, why, J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
    return false;
}

ResumeDialog::ResumeDialog(QWidget* owner) : QDialog(owner) {
    WriteLog("Restart Dialog _ Show", true);
    setWindowTitle(QString::fromUtf8("スタンバイモードから復帰"));
    resize(400, 130);
    Text(this, "スタンバイモードから復帰しました", QRect(16, 12, 290, 20));
    label_ = Big(this, 1045, QRect(16, 40, 60, 28));
    Text(this, "秒後に再度スタンバイモードに自動移行します", QRect(80, 44, 300, 20));
    auto* cancel = new QPushButton(QString::fromUtf8("中止"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(160, 88, 80, 28);
    connect(cancel, &QPushButton::clicked, this, &ResumeDialog::reject);
    CentreOverMainWindow(this, owner);
    timer_ = startTimer(1000);
}

ResumeDialog::~ResumeDialog() {
    WriteLog("Restart Dialog _ Close", true);
    killTimer(timer_);
}

void ResumeDialog::Tick() {
    --countdown_;
    label_->setText(QString::number(countdown_));
    if (countdown_ <= 0) {
        WriteLog("Restart Dialog _ Restart Timeout", true);
        done(QDialog::Accepted);
    }
}

void ResumeDialog::reject() {
    WriteLog("Restart Dialog _ Pushed Cancel", true);
    App().standbyArmed = 0;
    QDialog::reject();
}

void ResumeDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_)
        Tick();
}

void ResumeDialog::closeEvent(QCloseEvent* event) {
    // The close box ends the dialog as the countdown does: standby follows at once. The close
    // that an ending program sends to every window is no such press.
    event->accept();
    if (App().ending == 1) {
        App().standbyArmed = 0;
        done(QDialog::Rejected);
        return;
    }
    done(QDialog::Accepted);
}

}  // namespace quillrun
