// The Task page offscreen, with answered prompts.
#include "gui/tasks/task_page.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <cstdlib>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/replay/socket_sender.h"
#include "core/replay/task_run.h"
#include "core/skin/skin_geometry.h"
#include "core/tasks/scheduler.h"
#include "gui/app/gui_prompter.h"
#include "gui/app/main_window.h"
#include "gui/app/program.h"
#include "gui/app/run_end_notices.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/settings_page.h"
#include "gui/skin/skin.h"
#include "gui/skin/tray_icon.h"
#include "gui/tasks/run_history_dialog.h"
#include "gui/tasks/task_details_dialog.h"
#include "tests/gui/gui_program_test.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

class TaskPageTest : public test::GuiProgramTest {
  protected:
    void SetUp() override {
        GuiProgramTest::SetUp();
        SetPromptHook(
            [this](const std::string& text, const std::string& caption, PromptButtons, PromptIcon) {
                prompts_.push_back(Cp932ToUtf8(caption) + "|" + Cp932ToUtf8(text));
                return answer_;
            });
        window_ = std::make_unique<MainWindow>();
        window_->show();
        page_ = window_->taskPage();
    }
    void TearDown() override {
        window_.reset();
        SetPromptHook(nullptr);
        App().tasks.Clear();
        App().currentTab = 0;
        SetActivityLog("", nullptr);
        GuiProgramTest::TearDown();
    }
    void Form(const char* name, int hourEntry, int minuteEntry, bool socket) {
        page_->nameEdit()->setText(QString::fromUtf8(name));
        page_->combo(3)->setCurrentIndex(hourEntry);
        page_->combo(4)->setCurrentIndex(minuteEntry);
        (socket ? page_->socketButton() : page_->ieButton())->setChecked(true);
    }
    std::string Names() {
        std::string names;
        for (int i = 0; i < App().tasks.Count(); ++i)
            names += Cp932ToUtf8(App().tasks.At(i).EventName) + ";";
        return names;
    }
    // A press on the main window's tab strip, as the user switches tabs.
    void ClickTab(int y) {
        QTest::mouseClick(window_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, y));
    }

    std::unique_ptr<MainWindow> window_;
    TaskPage* page_ = nullptr;
    std::vector<std::string> prompts_;
    PromptAnswer answer_ = PromptAnswer::Yes;
};

}  // namespace

TEST_F(TaskPageTest, RegisterUpdateCopyAndDelete) {
    ClickTab(300);
    page_->Register();  // empty name
    EXPECT_EQ(prompts_.back(), "未入力の項目があります|タスク名を入力してください");

    page_->nameEdit()->setText(QStringLiteral("None"));
    page_->Register();
    EXPECT_EQ(prompts_.back(), "処理中断|Noneはシステムが利用するタスク名のため、利用できません");

    page_->nameEdit()->setText(QStringLiteral("every"));  // nothing else set: every minute, IE
    page_->events().Clear();
    page_->events().AddEvent(kMethodUrl, "http://h/a", "");
    page_->events().AppendEmptyPair();
    page_->Register();
    EXPECT_EQ(prompts_.back(),
              "内容を確認し、登録する場合は「はい(Ｙ)」を押してください|"
              "タスク every を 毎年 毎月 毎日 毎時 毎分 に実行します");
    ASSERT_EQ(App().tasks.Count(), 1);
    EXPECT_EQ(App().tasks.At(0).EventExecType, kExecIE);
    EXPECT_EQ(App().tasks.At(0).EventTime_Minute, -1);
    EXPECT_EQ(std::string(App().tasks.At(0).EventDataFile), dir_ / "event/every.evf");
    EXPECT_EQ(test::ReadFile(dir_ / "event/every.evf"), "1\tURL\thttp://h/a\t\t\r\n2\t\t\t\t\r\n");

    Form("b", 8, 31, true);  // 07:30, Socket
    page_->Register();
    Form(u8"表示", 0, 0, true);
    page_->Register();
    EXPECT_EQ(Names(), "every;b;表示;");
    EXPECT_EQ(App().tasks.At(1).EventTime_Hour, 7);
    EXPECT_EQ(App().tasks.At(1).EventTime_Minute, 30);
    EXPECT_EQ(page_->taskListBox()->count(), 3);
    if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR")) {
        window_->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/task-page.png"));
    }

    // Update: a rename to a taken name is refused and the old name comes back.
    page_->taskListBox()->setCurrentRow(1);
    page_->nameEdit()->setText(QStringLiteral("every"));
    page_->Update();
    EXPECT_EQ(prompts_.back(), "処理中断|同一の名前のタスクを登録できません");
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("b"));
    page_->nameEdit()->setText(QStringLiteral("b2"));
    page_->Update();
    EXPECT_EQ(Names(), "every;b2;表示;");
    EXPECT_TRUE(FileExists(dir_ / "event/b2.evf"));
    EXPECT_TRUE(FileExists(dir_ / "event/b.evf"));  // the old file stays
    page_->nameEdit()->clear();
    page_->Update();  // an empty name is refused, not stored as "event/.evf"
    EXPECT_EQ(prompts_.back(), "未入力の項目があります|タスク名を入力してください");
    EXPECT_FALSE(FileExists(dir_ / "event/.evf"));
    page_->taskListBox()->setCurrentRow(0);  // leaving it for another task: refused too
    EXPECT_EQ(prompts_.back(), "未入力の項目があります|タスク名を入力してください");
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("b2"));
    EXPECT_FALSE(FileExists(dir_ / "event/.evf"));

    // Copy: "every" with "every(0)" taken proposes "every(1)" and copies the event file.
    page_->taskListBox()->setCurrentRow(0);
    page_->Copy();
    EXPECT_EQ(prompts_.back(), "コピー確認|タスク「every」をタスク「every(0)」としてコピーします");
    page_->taskListBox()->setCurrentRow(0);
    page_->Copy();
    EXPECT_EQ(Names(), "every;b2;表示;every(0);every(1);");
    EXPECT_EQ(test::ReadFile(dir_ / "event/every(1).evf"),
              test::ReadFile(dir_ / "event/every.evf"));

    // Delete the last (the new last shows), a middle one (its follower shows), then all.
    page_->taskListBox()->setCurrentRow(4);
    page_->Delete();
    EXPECT_EQ(prompts_.back(),
              "削除確認|タスク「every(1)」を削除する場合は「はい(Ｙ)」を選択してください");
    EXPECT_FALSE(FileExists(dir_ / "event/every(1).evf"));
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("every(0)"));
    page_->taskListBox()->setCurrentRow(1);
    page_->Delete();
    EXPECT_EQ(page_->nameEdit()->text(), QString::fromUtf8("表示"));
    EXPECT_EQ(Names(), "every;表示;every(0);");
    while (App().tasks.Count() > 0) {
        page_->taskListBox()->setCurrentRow(0);
        page_->Delete();
    }
    EXPECT_TRUE(page_->nameEdit()->text().isEmpty());
    EXPECT_EQ(page_->events().RowCount(), 2);  // only the empty pair
    page_->Delete();
    EXPECT_EQ(prompts_.back(), "処理中断|登録済みのタスクが一つもありません");
}

// A one-time task for a minute that has passed would be confirmed and never run: the 登録
// button asks first, and the list shows it grey with why.
TEST_F(TaskPageTest, ATaskForAPassedMinuteIsAskedAboutAndMarkedInTheList) {
    ClickTab(300);
    LocalTime past = FromEpochMilliseconds(ToEpochMilliseconds(CurrentClock().Now()) - 120000);
    page_->nameEdit()->setText(QStringLiteral("once"));
    page_->combo(0)->setCurrentIndex(past.year - 1950 + 1);
    page_->combo(1)->setCurrentIndex(past.month);
    page_->combo(2)->setCurrentIndex(past.day);
    page_->combo(3)->setCurrentIndex(past.hour + 1);
    page_->combo(4)->setCurrentIndex(past.minute + 1);
    QPushButton* registerButton = page_->findChild<QPushButton*>(QStringLiteral("1018"));
    ASSERT_NE(registerButton, nullptr);
    answer_ = PromptAnswer::No;
    QTest::mouseClick(registerButton, Qt::LeftButton);
    ASSERT_FALSE(prompts_.empty());
    EXPECT_EQ(prompts_.back(),
              "実行されないタスク|この日時は過ぎているため、このタスクは実行されません。"
              "登録しますか？");
    EXPECT_EQ(App().tasks.Count(), 0);  // not registered

    answer_ = PromptAnswer::Yes;
    prompts_.clear();
    QTest::mouseClick(registerButton, Qt::LeftButton);
    ASSERT_EQ(prompts_.size(), 2u);  // the question, then the usual confirmation
    ASSERT_EQ(App().tasks.Count(), 1);
    QListWidgetItem* item = page_->taskListBox()->item(0);
    EXPECT_EQ(item->foreground().color(), QColor(128, 128, 128));
    EXPECT_EQ(item->toolTip(), QString::fromUtf8("この日時は過ぎているため、実行されません"));

    // A task of every day at that time is asked nothing and shown as ever.
    prompts_.clear();
    page_->nameEdit()->setText(QStringLiteral("daily"));
    page_->combo(0)->setCurrentIndex(0);
    page_->combo(1)->setCurrentIndex(0);
    page_->combo(2)->setCurrentIndex(0);
    QTest::mouseClick(registerButton, Qt::LeftButton);
    ASSERT_EQ(prompts_.size(), 1u);
    ASSERT_EQ(App().tasks.Count(), 2);
    EXPECT_TRUE(page_->taskListBox()->item(1)->toolTip().isEmpty());
}

TEST_F(TaskPageTest, TabSwitchesTakeRecordingsOverAndStoreTheForm) {
    EventList& recorded = window_->recordPage()->events();
    recorded.Clear();
    recorded.AddEvent(kMethodGet, "http://www.example.jp:8080/search", "q=1");
    recorded.AppendEmptyPair();

    ClickTab(100);  // browsing view
    ClickTab(300);  // Task page from tab 0: nothing offered
    EXPECT_TRUE(prompts_.empty());
    ClickTab(200);  // recording view
    ClickTab(300);
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0],
              "Question|記録したイベントがあります。イベントを移してタスクを新規作成しますか？");
    EXPECT_EQ(page_->nameEdit()->text(), QString::fromUtf8("新規 [www.example.jp_8080]"));
    EXPECT_EQ(recorded.RowCount(), 0);
    EXPECT_EQ(page_->events().UrlOf(0), "http://www.example.jp:8080/search");
    EXPECT_EQ(test::ReadFile(dir_ / "event/to_task.evf"),
              "1\tGET\thttp://www.example.jp:8080/search\tq=1\t\r\n2\t\t\t\t\r\n");
    page_->Register();
    ASSERT_EQ(App().tasks.Count(), 1);

    // Leaving the page stores the form into the task of that name.
    page_->combo(3)->setCurrentIndex(10);  // 09
    ClickTab(500);
    EXPECT_EQ(App().tasks.At(0).EventTime_Hour, 9);
    std::string evf = Cp932ToUtf8(App().tasks.At(0).EventDataFile);
    EXPECT_NE(evf.find("新規 [www.example.jp_8080].evf"), std::string::npos);

    // A second take-over of the same host gets " (2)".
    recorded.AddEvent(kMethodSet, "submit=go", "input=a:1,click=,");
    ClickTab(200);
    ClickTab(300);
    EXPECT_EQ(page_->nameEdit()->text(), QString::fromUtf8("新規 [setrequest]"));

    // At the end, the configuration holds exactly the registered task.
    SaveConfiguration(App());
    IniDocument ini;
    ini.Load(App().configPath);
    EXPECT_EQ(ini.GetString("Event", "Total", "", 260), "1");
    EXPECT_EQ(Cp932ToUtf8(ini.GetString("Event0", "EventName", "", 260)),
              "新規 [www.example.jp_8080]");
    EXPECT_EQ(ini.GetString("Event0", "EventTime_Hour", "", 260), "9");
    std::string dummy;
    EXPECT_FALSE(ini.Find("Event1", "EventName", dummy));
}

TEST_F(TaskPageTest, ANormalEndStoresTheFormBeforeWritingTheFile) {
    ClickTab(300);
    Form("morning", 8, 30, true);
    page_->Register();
    ASSERT_EQ(App().tasks.Count(), 1);
    // Changed in the form, not stored by leaving the page: the end of the run stores it.
    page_->combo(3)->setCurrentIndex(12);  // 11
    ASSERT_TRUE(SaveAtNormalEnd(*window_));
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventTime_Hour", "", 260, App().configPath), "11");
}

TEST_F(TaskPageTest, TheDetailsDialogSetsTheSelectedTasksOffsetByKeyboard) {
    ClickTab(300);
    Form("open", 10, 0, true);
    page_->Register();
    ASSERT_EQ(App().tasks.Count(), 1);

    bool seen = false;
    auto typeOffset = [&](const char* keys, bool accept) {
        QTimer::singleShot(0, [&, keys, accept] {
            auto* dialog = qobject_cast<TaskDetailsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            EXPECT_EQ(dialog->focusWidget(), dialog->offsetBox());  // typed into at once
            if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR"))
                dialog->grab().save(QString::fromLocal8Bit(folder) + "/task-details.png");
            dialog->offsetBox()->selectAll();
            QTest::keyClicks(dialog->offsetBox(), QString::fromLatin1(keys));
            QTest::keyClick(dialog, accept ? Qt::Key_Return : Qt::Key_Escape);
        });
        QTest::mouseClick(page_->detailsButton(), Qt::LeftButton);
    };
    typeOffset("-1500", true);
    EXPECT_TRUE(seen);
    EXPECT_EQ(App().tasks.At(0).EventOffsetMs, -1500);
    EXPECT_EQ(page_->findChild<QLabel*>("detailsSummary")->text(),
              QString::fromUtf8("ずれ -1500 ms"));
    typeOffset("99999", false);  // Esc leaves it as it was
    EXPECT_EQ(App().tasks.At(0).EventOffsetMs, -1500);
    typeOffset("99999", true);  // the box takes no digit beyond its range
    EXPECT_EQ(App().tasks.At(0).EventOffsetMs, 9999);
    EXPECT_EQ(App().modalDialog, 0);

    ASSERT_TRUE(SaveAtNormalEnd(*window_));
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventOffsetMs", "", 260, App().configPath),
              "9999");
}

TEST_F(TaskPageTest, TheDetailsDialogSetsTheRuleAndTheRetryWindowByKeyboard) {
    ClickTab(300);
    Form("book", 10, 0, true);
    page_->Register();
    ASSERT_EQ(App().tasks.Count(), 1);
    int opened = 0;
    auto edit = [&](const std::function<void(TaskDetailsDialog*)>& fill) {
        QTimer::singleShot(0, [&, fill] {
            auto* dialog = qobject_cast<TaskDetailsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ++opened;
            fill(dialog);
        });
        QTest::mouseClick(page_->detailsButton(), Qt::LeftButton);
    };
    edit([](TaskDetailsDialog* dialog) {
        // Tab goes from field to field, as a keyboard user goes.
        QTest::keyClick(dialog, Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), dialog->expectBox());
        dialog->expectBox()->insert(QString::fromUtf8("予約完了"));  // as an input method does
        QTest::keyClick(dialog, Qt::Key_Tab);
        dialog->rejectBox()->insert(QString::fromUtf8("受付前です"));
        QTest::keyClick(dialog, Qt::Key_Tab);
        QTest::keyClicks(dialog->statusBox(), QStringLiteral("2xx"));  // not statuses
        QTest::keyClick(dialog, Qt::Key_Tab);
        dialog->retryEveryBox()->selectAll();
        QTest::keyClicks(dialog->retryEveryBox(), QStringLiteral("200"));
        QTest::keyClick(dialog, Qt::Key_Tab);
        dialog->retryForBox()->selectAll();
        QTest::keyClicks(dialog->retryForBox(), QStringLiteral("20"));
        dialog->notifyBox()->setCurrentIndex(2);  // always
        dialog->freshHiddenBox()->setFocus();
        QTest::keyClick(dialog->freshHiddenBox(), Qt::Key_Space);
        QTest::keyClick(dialog, Qt::Key_Return);
        // The statuses do not read: the dialog stays, the box is shown to the user.
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), dialog->statusBox());
        QTest::keyClicks(dialog->statusBox(), QStringLiteral("200-299"));
        if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR"))
            dialog->grab().save(QString::fromLocal8Bit(folder) + "/task-details-rule.png");
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(opened, 1);
    const TaskRecord& task = App().tasks.At(0);
    EXPECT_EQ(task.EventExpectText, J("予約完了"));
    EXPECT_EQ(task.EventRejectText, J("受付前です"));
    EXPECT_EQ(task.EventExpectStatus, "200-299");
    EXPECT_EQ(task.EventRetryMs, 200);
    EXPECT_EQ(task.EventRetrySeconds, 20);
    EXPECT_EQ(task.EventNotify, 2);
    EXPECT_EQ(task.EventFreshHidden, 1);
    EXPECT_EQ(page_->findChild<QLabel*>("detailsSummary")->text(),
              QString::fromUtf8("判定 / 再試行 / 隠し項目更新"));
    ASSERT_TRUE(SaveAtNormalEnd(*window_));
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventRetryMs", "", 260, App().configPath), "200");
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventFreshHidden", "", 260, App().configPath),
              "1");
}

TEST_F(TaskPageTest, TheDetailsDialogChoosesTheMomentRowAmongTheFilesRows) {
    ClickTab(300);
    Form("book", 10, 0, true);
    page_->Register();
    ASSERT_EQ(App().tasks.Count(), 1);
    test::WriteFile(App().tasks.At(0).EventDataFile,
                    "1\tURL\thttp://h/login\t\t\r\n2\tPOST\thttp://h/login\tu=1\t\r\n"
                    "3\tPOST\thttp://h/book\ts=1\t\r\n4\t\t\t\t\r\n");
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TaskDetailsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        opened = true;
        QComboBox* rows = dialog->momentRowBox();
        ASSERT_EQ(rows->count(), 3);
        EXPECT_EQ(rows->currentIndex(), 0);  // the first row, as ever
        EXPECT_EQ(rows->itemText(2), QStringLiteral("3  POST  http://h/book"));
        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(dialog, Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), dialog->leadBox());
        dialog->leadBox()->selectAll();
        QTest::keyClicks(dialog->leadBox(), QStringLiteral("10"));
        if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR"))
            dialog->grab().save(QString::fromLocal8Bit(folder) + "/task-details-moment-row.png");
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::mouseClick(page_->detailsButton(), Qt::LeftButton);
    EXPECT_TRUE(opened);
    EXPECT_EQ(App().tasks.At(0).EventMomentRow, 3);
    EXPECT_EQ(App().tasks.At(0).EventLeadSeconds, 10);
    EXPECT_EQ(page_->findChild<QLabel*>("detailsSummary")->text(), QString::fromUtf8("時刻の行 3"));
    ASSERT_TRUE(SaveAtNormalEnd(*window_));
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventMomentRow", "", 260, App().configPath), "3");
    EXPECT_EQ(GetPrivateProfileString("Event0", "EventLeadSeconds", "", 260, App().configPath),
              "10");
}

// 詳細設定 opens for the task being entered, before it is registered, with the rows of the
// page's event list; what is set there goes with the task when it is registered.
TEST_F(TaskPageTest, DetailsSetBeforeRegisteringAreKeptWhenTheTaskIsRegistered) {
    ClickTab(300);
    Form("book", 10, 0, true);
    page_->events().Clear();
    page_->events().AddEvent(kMethodUrl, "http://h/login", "");
    page_->events().AddEvent(kMethodPost, "http://h/book", "s=1");
    page_->events().AppendEmptyPair();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TaskDetailsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        opened = true;
        ASSERT_EQ(dialog->momentRowBox()->count(), 2);
        EXPECT_EQ(dialog->momentRowBox()->itemText(1), QStringLiteral("2  POST  http://h/book"));
        dialog->momentRowBox()->setCurrentIndex(1);
        dialog->offsetBox()->selectAll();
        QTest::keyClicks(dialog->offsetBox(), QStringLiteral("-250"));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::mouseClick(page_->detailsButton(), Qt::LeftButton);  // nothing registered yet
    EXPECT_TRUE(opened);
    EXPECT_TRUE(prompts_.empty());  // no refusal
    EXPECT_EQ(page_->findChild<QLabel*>("detailsSummary")->text(),
              QString::fromUtf8("ずれ -250 ms / 時刻の行 2"));
    EXPECT_EQ(App().tasks.Count(), 0);
    QTest::mouseClick(page_->findChild<QPushButton*>(QStringLiteral("1018")), Qt::LeftButton);
    ASSERT_EQ(App().tasks.Count(), 1);
    EXPECT_EQ(App().tasks.At(0).EventOffsetMs, -250);
    EXPECT_EQ(App().tasks.At(0).EventMomentRow, 2);
    // The next task entered starts with no details of its own.
    Form("other", 11, 0, true);
    QTest::mouseClick(page_->findChild<QPushButton*>(QStringLiteral("1018")), Qt::LeftButton);
    ASSERT_EQ(App().tasks.Count(), 2);
    EXPECT_EQ(App().tasks.At(1).EventOffsetMs, 0);
    EXPECT_EQ(App().tasks.At(1).EventMomentRow, 1);
}

// Did my task run? After real Socket runs against a loopback server, the Task page says the
// task's next moment and its last run, and the run history lists the runs newest first and
// opens a run's report.
TEST_F(TaskPageTest, TheLastRunAndTheRunHistoryShowRealRuns) {
    std::atomic<int> status{200};
    test::LoopbackHttpServer server([&status](const test::ReceivedRequest&) {
        test::Reply reply = test::Reply::Ok("ok");
        if (status.load() != 200)
            reply.raw = "HTTP/1.0 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
        return reply;
    });
    ClickTab(300);
    Form("history", 0, 0, true);  // every minute, Socket
    page_->events().Clear();
    page_->events().AddEvent(kMethodUrl, server.Url("/history-check"), "");
    page_->events().AppendEmptyPair();
    QPushButton* registerButton = page_->findChild<QPushButton*>(QStringLiteral("1018"));
    QTest::mouseClick(registerButton, Qt::LeftButton);
    ASSERT_EQ(App().tasks.Count(), 1);
    Form("other", 0, 0, true);
    QTest::mouseClick(registerButton, Qt::LeftButton);
    ASSERT_EQ(App().tasks.Count(), 2);
    auto runOnce = [&](std::size_t reports) {
        // As the scheduler hands a due task over: its file, its name, its moment (now). The
        // run tells the message list from its thread: this one keeps the event loop going.
        StartSocketReplayThread(App().tasks.At(0).EventDataFile, App().tasks.At(0).EventName,
                                CurrentClock().Now(), TaskRunSettings(App().tasks.At(0)), nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return RunHistory().size() >= reports; }, 15000));
        QTest::qWait(300);  // the run's last lines
    };
    auto select = [&](int row) {
        QListWidget* list = page_->taskListBox();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
    };
    QLabel* line = page_->findChild<QLabel*>(QStringLiteral("runLine"));
    ASSERT_NE(line, nullptr);
    select(0);
    EXPECT_TRUE(line->text().contains(QString::fromUtf8("前回 まだ実行していません")))
        << line->text().toStdString();
    EXPECT_TRUE(line->text().startsWith(QString::fromUtf8("次回 "))) << line->text().toStdString();

    runOnce(1);
    select(1);
    select(0);
    EXPECT_TRUE(line->text().contains(QString::fromUtf8("試行 1 成功")))
        << line->text().toStdString();
    QTest::qWait(1100);  // the next run's report is of a second of its own
    status = 403;
    runOnce(2);
    // Said as soon as the run ends, without choosing the task again; the tray's tip says it too.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return line->toolTip().contains(QString::fromUtf8("試行 1 失敗（失敗した行あり）"));
        },
        5000))
        << line->text().toStdString();
    QStringList tip = window_->trayIcon()->Tip().split(QLatin1Char('\n'));
    ASSERT_EQ(tip.size(), 2) << tip.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(tip[0],
              QString::fromUtf8("タスク動作待機中 Webリクエスト自動再生機 -KESTREL- Ver1.10"));
    EXPECT_TRUE(tip[1].startsWith(QString::fromUtf8("前回 history: "))) << tip[1].toStdString();
    EXPECT_TRUE(tip[1].contains(QString::fromUtf8("失敗"))) << tip[1].toStdString();

    bool listed = false, opened = false;
    QTimer::singleShot(0, [&] {
        auto* history = qobject_cast<RunHistoryDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(history, nullptr);
        QTreeWidget* runs = history->runList();
        ASSERT_EQ(runs->topLevelItemCount(), 2);
        listed = true;
        EXPECT_EQ(runs->topLevelItem(0)->text(0), QStringLiteral("history"));
        EXPECT_EQ(runs->topLevelItem(0)->text(3), QString::fromUtf8("失敗（失敗した行あり）"));
        EXPECT_EQ(runs->topLevelItem(1)->text(3), QString::fromUtf8("成功"));
        if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR"))
            history->grab().save(QString::fromLocal8Bit(folder) + "/run-history.png");
        QTimer::singleShot(0, [&] {
            QWidget* report = QApplication::activeModalWidget();
            ASSERT_NE(report, nullptr);
            auto* text = report->findChild<QPlainTextEdit*>(QStringLiteral("reportText"));
            ASSERT_NE(text, nullptr);
            opened = text->toPlainText().contains(QStringLiteral("403 Forbidden"));
            qobject_cast<QDialog*>(report)->reject();
            history->reject();
        });
        runs->setCurrentItem(runs->topLevelItem(0));
        QTest::keyClick(runs, Qt::Key_Return);  // opens the run, as a double click does
    });
    QTest::mouseClick(page_->findChild<QPushButton*>(QStringLiteral("runHistory")), Qt::LeftButton);
    EXPECT_TRUE(listed);
    EXPECT_TRUE(opened);
    if (const char* folder = std::getenv("QUILLRUN_SCREENSHOT_DIR"))
        window_->grab().save(QString::fromLocal8Bit(folder) + "/task-page-last-run.png");
    // The tray's menu says the last outcome when it opens.
    QMenu* menu = window_->trayIcon()->Menu();
    QTimer::singleShot(100, menu, &QMenu::close);
    menu->popup(QPoint(0, 0));
    QAction* last = menu->findChild<QAction*>(QStringLiteral("trayLastRun"));
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(last->text().startsWith(QString::fromUtf8("前回 history: ")))
        << last->text().toStdString();
    EXPECT_TRUE(last->text().contains(QString::fromUtf8("失敗"))) << last->text().toStdString();
}

// In the smallest window the Task and Settings pages scroll: every control can be brought
// into view and then takes a press there; what scrolls up never covers the toolbar. At the
// usual size nothing scrolls and every control keeps its place.
TEST_F(TaskPageTest, InTheSmallestWindowThePagesScrollToEveryControl) {
    window_->resize(600, 450);
    for (int tabY : {300, 400}) {
        ClickTab(tabY);
        QApplication::processEvents();
        Page* page = window_->currentPage();
        ASSERT_TRUE(page == page_ || page == static_cast<Page*>(window_->settingsPage())) << tabY;
        auto* vertical = page->findChild<QScrollBar*>(QStringLiteral("pageVerticalBar"));
        auto* across = page->findChild<QScrollBar*>(QStringLiteral("pageHorizontalBar"));
        ASSERT_NE(vertical, nullptr);
        ASSERT_TRUE(vertical->isVisible());
        ASSERT_TRUE(across->isVisible());
        QRect seen(0, 30, vertical->x(), across->y() - 30);
        QList<QWidget*> controls;
        for (QWidget* w :
             page->Layer()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (w->isVisibleTo(page) &&
                (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                 qobject_cast<QComboBox*>(w)))
                controls.push_back(w);
        }
        ASSERT_GE(controls.size(), 5);
        for (QWidget* control : controls) {
            // As the user scrolls: each bar's own steps until the control is seen whole.
            vertical->triggerAction(QAbstractSlider::SliderToMinimum);
            across->triggerAction(QAbstractSlider::SliderToMinimum);
            auto place = [&] { return QRect(control->mapTo(page, QPoint(0, 0)), control->size()); };
            for (int k = 0; k < 40 && place().bottom() > seen.bottom(); ++k)
                vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            for (int k = 0; k < 40 && place().right() > seen.right() && place().left() > 20; ++k)
                across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QApplication::processEvents();
            // Seen whole, or as much of it as the page is wide (the start page's long field).
            QRect shown = place() & seen;
            EXPECT_EQ(shown.height(), control->height()) << control->objectName().toStdString();
            EXPECT_GE(shown.width(), std::min(control->width(), seen.width() - 20))
                << control->objectName().toStdString();
            EXPECT_EQ(page->childAt(place().center()), control)
                << control->objectName().toStdString();
        }
        // Scrolled down, the toolbar still takes its presses: nothing of the layer is there.
        vertical->triggerAction(QAbstractSlider::SliderToMaximum);
        QApplication::processEvents();
        EXPECT_EQ(page->childAt(QPoint(40, 15)), nullptr);
    }
    window_->resize(700, 525);
    QApplication::processEvents();
    ClickTab(300);
    EXPECT_FALSE(page_->findChild<QScrollBar*>(QStringLiteral("pageVerticalBar"))->isVisible());
    EXPECT_EQ(page_->Layer()->pos(), QPoint(0, 0));
    EXPECT_EQ(page_->taskListBox()->geometry(), QRect(350, 62, 178, 112));
}

// The event list holds two rows at the usual size; a larger window gives it the room.
TEST_F(TaskPageTest, TheEventListIsTallerInALargerWindow) {
    ClickTab(300);
    window_->resize(700, 525);
    QApplication::processEvents();
    auto* list = page_->eventList();
    int usual = list->height();
    EXPECT_EQ(usual, 80);
    window_->resize(1100, 825);
    QApplication::processEvents();
    window_->repaint();
    EXPECT_GT(list->height(), usual + 200);
    EXPECT_EQ(list->y(), 300);
    EXPECT_EQ(page_->findChild<QLabel*>(QStringLiteral("eventsLabel"))->y(), 280);
    window_->resize(700, 525);
    QApplication::processEvents();
    window_->repaint();
    EXPECT_EQ(list->height(), usual);
}

TEST_F(TaskPageTest, ARunsEndIsToldOnTheDesktopAndToTheNotifyCommand) {
    QTest::qWait(200);  // notices of earlier tests' runs still queued are told first
    std::vector<QString> shown;
    SetDesktopNotifier([&](const QString& title, const QString& body) {
        if (title == QString::fromUtf8("quillrun: 朝"))  // not another test's task
            shown.push_back(title + "|" + body);
        return true;
    });
    std::string told = dir_ / "told.txt";
    App().settings.NotifyCommand =
        "sh -c \"echo $QUILLRUN_TASK $QUILLRUN_OUTCOME $QUILLRUN_TRIES >> " + told + "\"";
    TaskRunEnd end;
    end.taskName = J("朝");
    end.summary.tries = 3;
    end.notify = 1;
    TellTaskRunEnd(end);  // failed: told on the desktop
    end.summary.success = true;
    end.summary.successfulTry = 3;
    TellTaskRunEnd(end);  // succeeded, told only on failure
    end.notify = 2;
    TellTaskRunEnd(end);  // always
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::ReadFile(told).size() >= 40; }, 10000));
    QTest::qWait(200);
    SetDesktopNotifier(nullptr);
    App().settings.NotifyCommand.clear();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(
        shown[0].startsWith(QString::fromUtf8("quillrun: 朝|タスク 朝: 3 回試行しましたが")));
    EXPECT_EQ(shown[1],
              QString::fromUtf8("quillrun: 朝|タスク 朝: 試行 3 で成功しました（3 回試行）"));
    // The command ran for every end, whatever the desktop was told.
    std::string lines = test::ReadFile(told);
    // (Runs of other tests' tasks still ending on their threads may add lines of their own.)
    EXPECT_NE(lines.find("朝 failure 3\n"), std::string::npos);
    int ours = 0;
    for (std::size_t at = 0; (at = lines.find("朝 ", at)) != std::string::npos; ++at)
        ++ours;
    EXPECT_EQ(ours, 3);
}

}  // namespace quillrun
