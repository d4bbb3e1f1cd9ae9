// The main window: the frame of the program and the owner of its timers.
#pragma once

#include <QBasicTimer>
#include <QWidget>
#include <memory>

#include "core/tasks/scheduler.h"
#include "gui/app/gui_scheduler_host.h"

class QListWidget;

namespace quillrun {

// "Webリクエスト自動再生機 -KESTREL-  Ver1.10 " followed by the copyright line.
QString MainWindowTitle();

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSchedulerTimerId = 10000;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // A time-stamped row of the message list (any thread).
    void AddMessage(const std::string& text);

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer schedulerTimer_;
    Scheduler scheduler_;
    std::unique_ptr<GuiSchedulerHost> host_;
    QListWidget* messages_ = nullptr;
};

}  // namespace quillrun
