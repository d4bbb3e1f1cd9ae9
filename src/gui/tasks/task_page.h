// gui/tasks: the Task page, the Task watch, the task's details dialog and the machine's power
// (wake-up timer and suspend).
//
// The Task page (tab 2): the form of one task, the list of all tasks with register, update,
// copy and delete, the events of the task in the form, import and export, and what happens
// when the user comes from a recording or leaves the page.
#pragma once

#include <QPoint>
#include <functional>

#include "core/recording/event_list.h"
#include "core/tasks/task_form.h"
#include "gui/skin/page.h"

class QLineEdit;
class QComboBox;
class QRadioButton;
class QListWidget;
class QPushButton;
class QLabel;

namespace quillrun {

class MethodListView;

class TaskPage : public Page {
    Q_OBJECT
  public:
    explicit TaskPage(QWidget* parent);
    ~TaskPage() override;
    int ToolbarTab() const override;

    // The Record page's event list, which a recording hands over.
    void SetRecordedEvents(EventList* recorded) { recorded_ = recorded; }

    QLineEdit* nameEdit() const { return name_; }
    QComboBox* combo(int field) const { return combos_[field]; }
    QRadioButton* socketButton() const { return socket_; }
    QRadioButton* ieButton() const { return ie_; }
    QListWidget* taskListBox() const { return list_; }
    MethodListView* eventList() const { return eventView_; }
    EventList& events() { return events_; }
    int currentTask() const { return current_; }
    // The next moment and the last run of the task shown, read again (after a run ends).
    void RefreshRunLine();

    // A left press on the page, or on the main window after it handled it.
    void HandleLeftPress(const QPoint& position);
    void OnMainWindowLeftPress(const QPoint& position) { HandleLeftPress(position); }

    void Register();
    void Update();
    void Copy();
    void Delete();
    void SelectionChanged();
    // "詳細設定": the selected task's details dialog.
    void EditDetails();
    QPushButton* detailsButton() const { return details_; }
    QPushButton* taskWatchButton() const { return taskWatch_; }
    // What the 「タスクウォッチ」 button opens (the main window's Task watch).
    void SetTaskWatchOpener(std::function<void()> open) { openTaskWatch_ = std::move(open); }
    void ImportEvents();
    void ExportEvents();
    void DeleteFocusedEvent();
    void EditFocusedEvent();
    // Delete pressed with the focus on the task list box or the event list.
    void OnDeleteKey();
    // Stores the form into the task of the name in the edit; false when there is none.
    bool StoreFormByName(bool leaving);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void BuildForm();
    void BuildListAndButtons();
    TaskForm Form() const;
    void ShowForm(const TaskForm& form);
    void FillTaskListBox();
    void SelectInList(int index);
    void ShowTask(int index);
    void CommitTaskForm(int index);
    void OfferTakeOver();
    bool RefuseName(NameProblem problem);
    // 詳細設定 for the task being entered, before it is registered.
    void EditPendingDetails();
    // The event list: at the page's bottom, and taller when the page is.
    void PlaceEventList();
    // The task's next moment and its last run, under the form.
    void ShowRunLine(const TaskRecord& task);

    QLineEdit* name_ = nullptr;
    QComboBox* combos_[5] = {};
    QRadioButton* socket_ = nullptr;
    QRadioButton* ie_ = nullptr;
    QListWidget* list_ = nullptr;
    MethodListView* eventView_ = nullptr;
    QPushButton* details_ = nullptr;
    QPushButton* taskWatch_ = nullptr;
    QLabel* runLine_ = nullptr;
    // The details set for the task being entered, before it is registered; they go with it.
    TaskRecord pendingDetails_;
    std::function<void()> openTaskWatch_;
    QLabel* detailsSummary_ = nullptr;
    EventList events_;
    EventList* recorded_ = nullptr;
    int current_ = -1;
    int previousTab_ = 0;
    bool filling_ = false;
};

}  // namespace quillrun
