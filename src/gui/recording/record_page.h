// The Record page: the browsing view (tab 0) and the recording and replay view (tab 1) of one
// page, with the address box, the event list and the message list.
#pragma once

#include <QPointer>

#include "core/recording/event_list.h"
#include "gui/skin/page.h"

class QLineEdit;

namespace quillrun {

class MethodListView;

class RecordPage : public Page {
    Q_OBJECT
  public:
    explicit RecordPage(QWidget* parent);
    int ToolbarTab() const override;

    QLineEdit* addressBox() const { return address_; }
    MethodListView* messageList() const { return messages_; }
    MethodListView* eventList() const { return eventView_; }
    EventList& events() { return events_; }

    // The toolbar button k of the current view.
    void PressToolbarButton(int k);
    // Enter in the address box.
    void OnAddressEnter();
    // Delete on the event list: deletes the focused event when its head row has the focus.
    void DeleteFocusedEvent();
    // The edit command on the focused event (the request editor comes with its own page).
    void EditFocusedEvent();
    // True when not recording, or when the user agrees to stop (the recording then ends).
    bool ConfirmStopRecording();
    void ToggleRecording();
    void OpenEventFile();
    void SaveEventFileAs();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void ShowListOfView();

    QLineEdit* address_ = nullptr;
    MethodListView* messages_ = nullptr;
    MethodListView* eventView_ = nullptr;
    EventList events_;
};

// "Loading.. 読み込んでいます" and "Stoped.. ページ読み込みを中止しました" (CP932).
std::string LoadingText();
std::string StoppedText();

}  // namespace quillrun
