#include "gui/app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/ini.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/browser_dialog_closer.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/settings_page.h"
#include "gui/skin/skin.h"
#include "gui/skin/tray_icon.h"
#include "gui/tasks/task_page.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.MakeProgramFolders();
        LoadConfiguration(App(), dir_.Path());
        TheSkin().Create(QStringLiteral(QUILLRUN_TEST_DIST_DIR));
    }
    void TearDown() override {
        App().tasks.Clear();
        App().currentTab = 0;
        App().modalDialog = 0;
        SetActivityLog("", nullptr);
    }

    test::TempFolder dir_;
    test::ScopedProgramFolder program_{dir_.Path()};
};

}  // namespace

TEST_F(MainWindowTest, TitleAndTheSchedulerTimerRunDueTasksOncePerMinute) {
    test::FixedClock clock(LocalTime{2026, 12, 6, 8, 0, 0, 0});
    test::ScopedClock scoped(clock);
    TaskRecord task;
    task.SetName("every");
    task.SetDataFile(dir_ / "event/every.evf");
    task.EventTime_Year = task.EventTime_Month = task.EventTime_Day = -1;
    task.EventTime_Hour = task.EventTime_Minute = -1;
    App().tasks.Append(task);

    MainWindow window;
    EXPECT_EQ(window.windowTitle(),
              QString::fromUtf8("Webリクエスト自動再生機 -KESTREL-  Ver1.10 Copyright (C) 2026 "
                                "quillrun developers"));
    window.show();
    MethodListView* messages = window.recordPage()->messageList();
    // The rows of task runs (the browser's page loads add rows of their own).
    auto runs = [&] {
        QStringList rows;
        for (int i = 0; i < messages->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = messages->topLevelItem(i);
            if (item->text(1).startsWith(QString::fromUtf8("イベント実行"))) {
                rows << item->text(0) + QLatin1Char('|') + item->text(1);
            }
        }
        return rows;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs().size() == 1; }, 3000));
    EXPECT_EQ(runs().value(0), QString::fromUtf8("2026-12-06 08:00|イベント実行 every"));
    QTest::qWait(1200);  // the same minute again: nothing more
    EXPECT_EQ(runs().size(), 1);

    // Timer identifiers other than the two of the main window change nothing.
    window.OnProgramTimer(12345);
    clock.Set(LocalTime{2026, 12, 6, 8, 1, 0, 0});
    window.OnProgramTimer(10001);
    QApplication::processEvents();
    EXPECT_EQ(runs().size(), 1);
}

// A second or two before an IE task's moment the replay view is already shown, so that its
// repaint is not paid for at the moment; the replay itself waits for the moment. While a modal
// dialog is open the tab is left as it is.
TEST_F(MainWindowTest, TheReplayViewIsShownAheadOfAnIeTask) {
    test::FixedClock clock(LocalTime{2026, 12, 6, 8, 0, 50, 0});
    test::ScopedClock scoped(clock);
    test::WriteFile(dir_ / "event/ie.evf", "1\tURL\thttp://127.0.0.1:9/never\t\t\r\n");
    TaskRecord task = test::MakeTask("ie", -1, -1, -1, -1, -1, 1);
    task.SetDataFile(dir_ / "event/ie.evf");
    App().tasks.Append(task);
    MainWindow window;
    window.show();
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 300));
    ASSERT_EQ(App().currentTab, 2);
    window.OnProgramTimer(10000);
    EXPECT_EQ(App().currentTab, 2);  // ten seconds ahead: nothing yet
    clock.Set(LocalTime{2026, 12, 6, 8, 0, 57, 500});
    window.OnProgramTimer(10000);
    EXPECT_EQ(App().currentTab, 1);
    EXPECT_EQ(window.currentPage(), window.recordPage());
    MethodListView* messages = window.recordPage()->messageList();
    for (int i = 0; i < messages->topLevelItemCount(); ++i)
        EXPECT_FALSE(
            messages->topLevelItem(i)->text(1).startsWith(QString::fromUtf8("イベント実行")));

    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 300));
    App().modalDialog = 1;
    clock.Set(LocalTime{2026, 12, 6, 8, 1, 57, 500});
    window.OnProgramTimer(10000);
    EXPECT_EQ(App().currentTab, 2);
    App().modalDialog = 0;
}

TEST_F(MainWindowTest, PagesFillTheFrameOctagonAndKeepTheirStateAcrossTabs) {
    MainWindow window;
    window.resize(700, 525);
    window.show();
    Page* record = window.currentPage();
    ASSERT_EQ(record, window.recordPage());
    EXPECT_EQ(record->geometry(), QRect(127, 65, 543, 403));
    EXPECT_EQ(record->mask().boundingRect().size(), QSize(533, 403));
    EXPECT_EQ(window.taskPage()->size(), QSize(0, 0));

    window.SelectTabAt(50, 500);  // settings
    EXPECT_EQ(App().currentTab, 4);
    SettingsPage* settings = window.settingsPage();
    EXPECT_EQ(settings->geometry(), QRect(127, 65, 543, 403));
    EXPECT_EQ(record->size(), QSize(0, 0));
    settings->startPageEdit()->setText(QStringLiteral("http://example.jp/start"));
    window.SelectTabAt(50, 300);
    EXPECT_EQ(App().currentTab, 2);
    window.SelectTabAt(50, 53);  // outside every band
    window.SelectTabAt(111, 100);
    EXPECT_EQ(App().currentTab, 2);
    window.SelectTabAt(50, 460);
    EXPECT_EQ(settings->startPageEdit()->text(), QStringLiteral("http://example.jp/start"));

    App().modalDialog = 1;  // tab clicks are ignored while a modal dialog is open
    window.SelectTabAt(50, 154);
    EXPECT_EQ(App().currentTab, 4);
    App().modalDialog = 0;
    window.SelectTabAt(50, 154);
    EXPECT_EQ(App().currentTab, 1);
    EXPECT_EQ(window.currentPage(), record);
    // The record view shows the event list, the browsing view the message list.
    QApplication::processEvents();
    record->repaint();
    EXPECT_GT(window.recordPage()->eventList()->height(), 0);
    EXPECT_EQ(window.recordPage()->messageList()->size(), QSize(0, 0));
}

// At the sizes the program chooses, the Settings tab is seen whole and answers a click on its
// middle, and the recording view's check box covers no button, no field and no list.
TEST_F(MainWindowTest, TheTabsAndTheRecordPageFitTheSmallerSizes) {
    MainWindow window;
    window.show();
    EXPECT_EQ(window.minimumSize(), QSize(600, 450));
    for (QSize size : {QSize(600, 450), QSize(700, 525), QSize(900, 675)}) {
        window.resize(size);
        QApplication::processEvents();
        const StripPiece settingsTab = TabStripPieces(size.height()).back();
        EXPECT_LE(settingsTab.dstTop + settingsTab.dstHeight, size.height());
        QTest::mouseClick(&window, Qt::LeftButton, {},
                          QPoint(55, settingsTab.dstTop + settingsTab.dstHeight / 2));
        EXPECT_EQ(window.currentPage(), window.settingsPage()) << size.height();
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(55, 200));
        ASSERT_EQ(window.currentPage(), window.recordPage()) << size.height();
        window.recordPage()->repaint();
        QApplication::processEvents();

        RecordPage* page = window.recordPage();
        auto* box = page->findChild<QCheckBox*>(QStringLiteral("RecordScriptRequests"));
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(box->isVisible());
        QRect place = box->geometry();
        EXPECT_GE(place.width(), box->sizeHint().width()) << size.width();
        EXPECT_LE(place.right(), page->width() - 8) << size.width();
        EXPECT_FALSE(place.intersects(QRect(0, 0, 361, 31))) << size.width();  // the buttons
        for (QWidget* other : {static_cast<QWidget*>(page->findChild<QLineEdit*>("1001")),
                               static_cast<QWidget*>(page->eventList())}) {
            EXPECT_FALSE(place.intersects(other->geometry()))
                << size.width() << " " << other->objectName().toStdString();
        }
        for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->inherits("QWebEngineView")) {
                EXPECT_FALSE(place.intersects(child->geometry())) << size.width();
            }
        }
    }
}

TEST_F(MainWindowTest, TrayRoundTrip) {
    MainWindow window;
    window.show();
    window.GoToTray();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.recordPage()->isVisible());
    // The state line as it always was; below it, that nothing has run yet.
    EXPECT_EQ(window.trayIcon()->Tip(),
              QString::fromUtf8("タスク動作待機中 Webリクエスト自動再生機 -KESTREL- Ver1.10\n"
                                "前回: まだ実行していません"));
    window.ComeBackFromTray();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.recordPage()->isVisible());
    EXPECT_FALSE(window.trayIcon()->Shown());
}

TEST_F(MainWindowTest, DialogCloserDismissesBrowserBoxesWithChildrenOnly) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Internet Explorer"),
                    QStringLiteral("script error"), QMessageBox::Ok);
    box.show();
    QWidget bare;
    bare.setWindowTitle(QStringLiteral("Internet Explorer"));
    EXPECT_EQ(FindBrowserDialog(), &box);

    EXPECT_EQ(CloseBrowserDialog(0), nullptr);  // AutoIEClose off: it stays
    QApplication::processEvents();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(CloseBrowserDialog(1), &box);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box.isVisible(); }, 2000));

    bare.show();
    EXPECT_EQ(CloseBrowserDialog(1), nullptr);  // no child window: left alone
    QApplication::processEvents();
    EXPECT_TRUE(bare.isVisible());

    // "Microsoft Internet Explorer" is looked for first.
    QMessageBox first(QMessageBox::Information, QStringLiteral("Microsoft Internet Explorer"),
                      QStringLiteral("alert"), QMessageBox::Ok);
    first.show();
    EXPECT_EQ(FindBrowserDialog(), &first);
}

TEST_F(MainWindowTest, SettingsControlsWriteTheSettingsAtOnceAndTheFileAtTheEnd) {
    MainWindow window;
    window.show();
    SettingsPage* page = window.settingsPage();
    page->radio(1035)->click();
    EXPECT_EQ(App().settings.StartUpInTask, 1);
    page->radio(1038)->click();
    EXPECT_EQ(App().settings.AutoIEClose, 0);
    page->radio(1039)->click();
    EXPECT_EQ(App().settings.CGITestMode, 1);
    page->startPageEdit()->setText(QString(300, QLatin1Char('a')));
    EXPECT_EQ(App().settings.startpage.size(), 259u);

    // Nothing is written before the end.
    IniDocument before;
    before.Load(App().configPath);
    EXPECT_EQ(before.GetString("CONFIG", "CGITestMode", "", 260), "0");
    SaveConfiguration(App());
    IniDocument after;
    after.Load(App().configPath);
    EXPECT_EQ(after.GetString("CONFIG", "CGITestMode", "", 260), "1");
    EXPECT_EQ(after.GetString("CONFIG", "AutoIEClose", "", 260), "0");
    EXPECT_EQ(after.GetString("CONFIG", "StartUpInTask", "", 260), "1");

    QString opened;
    SettingsPage::SetHelpOpener([&](const QString& url) { opened = url; });
    QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier, QPoint(89, 30));
    EXPECT_EQ(opened, QStringLiteral("file://") + QString::fromStdString(dir_.Path()) +
                          QStringLiteral("help/index.html"));
    opened.clear();
    QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier, QPoint(90, 10));
    EXPECT_TRUE(opened.isEmpty());
    SettingsPage::SetHelpOpener(nullptr);
}

}  // namespace quillrun
