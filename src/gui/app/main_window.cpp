#include "gui/app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QTimerEvent>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/clock.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/replay/browser_replay.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/browser_dialog_closer.h"
#include "gui/app/input_router.h"
#include "gui/app/run_end_notices.h"
#include "gui/app/scheduler_loop.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"
#include "gui/skin/settings_page.h"
#include "gui/skin/skin.h"
#include "gui/skin/tray_icon.h"
#include "gui/tasks/run_history_dialog.h"
#include "gui/tasks/task_page.h"
#include "gui/tasks/task_watch_dialog.h"
#include "gui/text.h"

namespace quillrun {

QString MainWindowTitle() {
    return QString::fromUtf8("Webリクエスト自動再生機 -KESTREL-  Ver1.10 ") +
           QString::fromLatin1(kCopyrightLine);
}

namespace {

// "前回 <task>: <when> 試行 N <outcome>", or that nothing has run yet.
QString LastRunLine() {
    std::vector<RunRecord> history = RunHistory();
    if (history.empty())
        return QString::fromUtf8("前回: まだ実行していません");
    return QString::fromUtf8("前回 ") + FromCp932(history.front().task) + QStringLiteral(": ") +
           LastRunText(history.front());
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("quillrun"));
    setWindowTitle(MainWindowTitle());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, TheSkin().background);
    setPalette(palette);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(700, 525);
    // The smallest size the program chooses: smaller, the pages would cut their controls.
    setMinimumSize(600, 450);

    record_ = new RecordPage(this);
    task_ = new TaskPage(this);
    settings_ = new SettingsPage(this);
    tray_ = new TrayIcon(this);
    // After each run the tray's tip and the Task page's line say how it went.
    InstallTaskRunEndNotices(true, [this] {
        tray_->SetLastRun(LastRunLine());
        task_->RefreshRunLine();
    });
    connect(tray_, &TrayIcon::LeftClicked, this, &MainWindow::ComeBackFromTray);
    connect(tray_, &TrayIcon::TaskWatchRequested, this, [this] { router_->openTaskWatch(); });
    // The menu says how the last run went, read from the reports when it opens.
    connect(tray_->Menu(), &QMenu::aboutToShow, this, [this] { tray_->SetLastRun(LastRunLine()); });

    SetMessageSink(MethodListView::SinkFor(record_->messageList()));
    // The program's own routing of input, ahead of the widgets.
    router_ = new InputRouter(this);
    router_->recordPage = record_;
    task_->SetRecordedEvents(&record_->events());
    router_->taskEventList = task_->eventList();
    router_->taskListBox = task_->taskListBox();
    router_->taskEdit = [this] { task_->EditFocusedEvent(); };
    router_->taskDelete = [this] { task_->OnDeleteKey(); };
    router_->openTaskWatch = [this] {
        TaskWatchDialog::Run(current_ ? static_cast<QWidget*>(current_) : this);
    };
    task_->SetTaskWatchOpener([this] { router_->openTaskWatch(); });
    qApp->installEventFilter(router_);
    host_ = std::make_unique<GuiSchedulerHost>(
        [](const std::string& text) { AddMessage(text); },
        [this] {
            // A repaint of the whole window costs tens of milliseconds where OpenGL is drawn
            // in software, and the engine's first request of a due replay waits behind it.
            if (App().currentTab != kTabRecord || current_ != record_)
                SelectTab(kTabRecord);
        },
        [this](const std::string& eventFile, const RowObserver& observer, bool freshHidden,
               const BrowserMoment* moment, int fromRow) {
            if (record_->browser() == nullptr)
                return;
            EventLoopWaiter waiter;
            BrowserReplayFile(eventFile, *record_->browser(), waiter, observer, freshHidden, moment,
                              fromRow);
        },
        [this](const std::string& eventFile) {
            // A second or two ahead: the replay view's repaint and the site's connection are
            // not paid for at the moment.
            if (App().modalDialog != 1 && (App().currentTab != kTabRecord || current_ != record_))
                SelectTab(kTabRecord);
            std::string origin = FirstRowOrigin(eventFile);
            if (record_->browser() != nullptr && !origin.empty())
                record_->browser()->WarmUp(origin);
        });
    schedulerLoop_ = new SchedulerLoop(*host_, this);
    closerTimer_ = startTimer(500);
    PlacePages();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(router_);
    schedulerLoop_->Stop();
    killTimer(closerTimer_);
    RemoveTaskRunEndNotices();
    tray_->Remove();
    SetMessageSink(nullptr);
}

void MainWindow::SizeForDesktop(int desktopWidth, int desktopHeight) {
    SizeWH size = MainWindowSizeFor(desktopWidth, desktopHeight);
    resize(size.width, size.height);
}

Page* MainWindow::PageOfTab(int tab) const {
    switch (tab) {
        case kTabBrowse:
        case kTabRecord:
            return record_;
        case kTabTask:
            return task_;
        case kTabSettings:
            return settings_;
        default:
            return nullptr;
    }
}

void MainWindow::PlacePages() {
    Page* current = PageOfTab(App().currentTab);
    for (Page* page :
         {static_cast<Page*>(record_), static_cast<Page*>(task_), static_cast<Page*>(settings_)}) {
        if (page != current)
            page->resize(0, 0);
    }
    current_ = current;
    if (current == nullptr)
        return;
    Rect area = PageRect(width(), height());
    current->setGeometry(area.left, area.top, area.Width(), area.Height());
    QPolygon region;
    for (const PointXY& p : PageRegion(width(), height()))
        region << QPoint(p.x, p.y);
    current->setMask(QRegion(region, Qt::OddEvenFill));
    current->show();
    current->raise();
    current->update();
    setFocus();
}

void MainWindow::SelectTabAt(int x, int y) {
    if (App().modalDialog == 1)
        return;
    int tab = TabAtPointIn(x, y, height());
    if (tab < 0)
        return;
    SelectTab(tab);
}

void MainWindow::SelectTab(int tab) {
    App().currentTab = tab;
    update();
    PlacePages();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawBanner(painter, width(), height(), App().currentTab);
}

void MainWindow::resizeEvent(QResizeEvent*) {
    PlacePages();
}

void MainWindow::showEvent(QShowEvent*) {
    PlacePages();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        SelectTabAt(p.x(), p.y());
        task_->OnMainWindowLeftPress(p);
    }
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == closerTimer_) {
        OnProgramTimer(10001);
    }
}

void MainWindow::OnProgramTimer(int id) {
    if (id == 10000) {
        schedulerLoop_->Tick();
    } else if (id == 10001) {
        CloseBrowserDialog(App().settings.AutoIEClose);
    }
}

void MainWindow::StoreForms() {
    task_->StoreFormByName(false);
}

int MainWindow::SchedulerTickRemaining() const {
    return schedulerLoop_->Remaining();
}

void MainWindow::GoToTray() {
    tray_->SetLastRun(LastRunLine());
    tray_->Add(J("タスク動作待機中"));
    for (Page* page :
         {static_cast<Page*>(record_), static_cast<Page*>(task_), static_cast<Page*>(settings_)}) {
        page->hide();
    }
    hide();
    inTray_ = true;
}

void MainWindow::ComeBackFromTray() {
    tray_->Remove();
    if (isMinimized())
        showNormal();
    inTray_ = false;
    show();
    raise();
    activateWindow();
    update();
    PlacePages();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !inTray_) {
        // The minimise button goes to the tray instead of minimising.
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                GoToTray();
            },
            Qt::QueuedConnection);
    }
    QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    tray_->Remove();
    event->accept();
}

}  // namespace quillrun
