// The main window: the painted frame of the program (banner, tab strip, framed page area), the
// owner of the pages and of the two timers, and the way to the tray and back.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "core/tasks/scheduler.h"
#include "gui/app/gui_scheduler_host.h"

namespace quillrun {

class RecordPage;
class TaskPage;
class SettingsPage;
class Page;
class TrayIcon;
class InputRouter;
class SchedulerLoop;

// "Webリクエスト自動再生機 -KESTREL-  Ver1.10 " followed by the copyright line.
QString MainWindowTitle();

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The client size from the desktop size.
    void SizeForDesktop(int desktopWidth, int desktopHeight);

    RecordPage* recordPage() const { return record_; }
    TaskPage* taskPage() const { return task_; }
    SettingsPage* settingsPage() const { return settings_; }
    Page* PageOfTab(int tab) const;
    Page* currentPage() const { return current_; }
    TrayIcon* trayIcon() const { return tray_; }

    // Picks the tab at a client point and shows its page (nothing while a modal dialog is open).
    void SelectTabAt(int x, int y);
    void SelectTab(int tab);
    // Shrinks the other pages to zero size and lays the current one over the frame's octagon.
    void PlacePages();
    // Hides the window and its pages behind the tray icon; the timers go on.
    void GoToTray();
    // Removes the tray icon, shows the window and the pages again.
    void ComeBackFromTray();

    // The timers by their program identifiers: 10000 the scheduler tick, 10001 the browser
    // dialog closer; other identifiers do nothing.
    void OnProgramTimer(int id);
    // Stores what the pages hold in their forms into the task list (before the file is saved).
    void StoreForms();
    // Milliseconds until the scheduler tick fires next (-1 when it is not armed).
    int SchedulerTickRemaining() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    RecordPage* record_ = nullptr;
    TaskPage* task_ = nullptr;
    SettingsPage* settings_ = nullptr;
    Page* current_ = nullptr;
    TrayIcon* tray_ = nullptr;
    InputRouter* router_ = nullptr;
    SchedulerLoop* schedulerLoop_ = nullptr;
    int closerTimer_ = 0;
    bool inTray_ = false;
    std::unique_ptr<GuiSchedulerHost> host_;
};

}  // namespace quillrun
