// Dialog 109 "タスクウォッチ": the next task, its time, the seconds left and its events,
// refreshed every second; the standby button and the standby cycle it drives.
#pragma once

#include <QDialog>

#include "core/recording/event_list.h"
#include "core/tasks/next_task.h"

class QLabel;

namespace quillrun {

class MethodListView;

class TaskWatchDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TaskWatchDialog(QWidget* owner);
    ~TaskWatchDialog() override;

    bool Opened() const { return opened_; }
    // Opens the watch modally, unless a modal dialog is open.
    static void Run(QWidget* owner);

    const WatchDisplay& Display() const { return display_; }
    QLabel* Static(int id) const;
    MethodListView* EventView() const { return view_; }

    // Every second: the display, then the standby cycle.
    void Tick();
    // The standby button.
    void PressStandby();
    // Suspends until the wake time of the next task; false when the wake timer could not be
    // armed (nothing was suspended and the user was told why).
    bool StandbyUntilNextTask();

    // Esc: nothing (the watch closes with its close box only).
    void reject() override;

  protected:
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The run going on now, or how the last one went.
    void ShowRunState();
    void ComputeNextTaskAndShow();
    // The moment and the time left to it, to a tenth of a second.
    void ShowCountdown();

    bool opened_ = false;
    int timer_ = 0;
    int countdownTimer_ = 0;
    bool hasMoment_ = false;
    LocalTime moment_;
    WatchDisplay display_;
    EventList events_;
    MethodListView* view_ = nullptr;
};

// Template 112 "スタンバイモードから復帰": counts 60 seconds down, then the watch sends the
// machine to standby again; "中止" ends the cycle.
class ResumeDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ResumeDialog(QWidget* owner);
    ~ResumeDialog() override;

    int Countdown() const { return countdown_; }
    QLabel* CountdownLabel() const { return label_; }
    void Tick();
    // "中止" (or Esc): the standby cycle ends.
    void reject() override;

  protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    int countdown_ = 60;
    int timer_ = 0;
    QLabel* label_ = nullptr;
};

}  // namespace quillrun
