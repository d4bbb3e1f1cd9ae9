// gui/recording: the Record page (browsing, recording, playback), the event list view and the
// request editor dialog.
//
// The Record page: the browsing view (tab 0) and the recording and replay view (tab 1) of one
// page, with the address box, the event list and the message list.
#pragma once

#include <QPointer>

#include "core/browser/browser.h"
#include "core/recording/event_list.h"
#include "core/recording/request_capture.h"
#include "gui/skin/page.h"

class QLineEdit;

class QCheckBox;

namespace quillrun {

class MethodListView;
class WebEngineBrowser;
class RecordPagePlayback;

class RecordPage : public Page, private BrowserEvents {
    Q_OBJECT
  public:
    explicit RecordPage(QWidget* parent);
    ~RecordPage() override;
    int ToolbarTab() const override;

    // The browser keeps its cookies and cache under this profile name; an empty name keeps
    // them in memory only (the tests use that). Set before the page is made.
    static void SetBrowserStorageName(const QString& name);
    // The browser profile's name ("quillrun"; tests set their own).
    static QString BrowserStorage();

    WebEngineBrowser* browser() const { return browser_; }
    RequestCapture& capture() { return capture_; }

    QLineEdit* addressBox() const { return address_; }
    MethodListView* messageList() const { return messages_; }
    MethodListView* eventList() const { return eventView_; }
    // "スクリプトの通信も記録": the page's fetch() and XMLHttpRequest calls become events too.
    QCheckBox* scriptRequestsBox() const { return scriptRequests_; }
    EventList& events() { return events_; }

    // The toolbar button k of the current view.
    void PressToolbarButton(int k);
    // The browsing view's buttons: back, forward, stop, refresh, home.
    void PressBrowsingButton(int k);
    // Enter in the address box.
    void OnAddressEnter();
    // Delete on the event list: deletes the focused event when its head row has the focus.
    void DeleteFocusedEvent();
    // The edit command on the focused event (the request editor comes with its own page).
    void EditFocusedEvent();
    // True when not recording, or when the user agrees to stop (the recording then ends).
    bool ConfirmStopRecording();
    void ToggleRecording();
    // Replays the event list through the browser (button 1 of the recording view).
    void StartReplay();
    RecordPagePlayback* playback() const { return playback_; }
    void OpenEventFile();
    void SaveEventFileAs();

  protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QRect ScriptBoxPlace() const;
    void ShowListOfView();
    void BeforeNavigate2(const std::string* postData) override;
    void DocumentComplete() override;
    void SetAddressText(const std::string& text);

    QLineEdit* address_ = nullptr;
    QCheckBox* scriptRequests_ = nullptr;
    MethodListView* messages_ = nullptr;
    MethodListView* eventView_ = nullptr;
    EventList events_;
    WebEngineBrowser* browser_ = nullptr;
    RequestCapture capture_;
    RecordPagePlayback* playback_ = nullptr;
    int addressTimer_ = 0;  // the address box refresh, every second
};

// "Loading.. 読み込んでいます" and "Stoped.. ページ読み込みを中止しました" (CP932).
std::string LoadingText();
std::string StoppedText();

}  // namespace quillrun
