#include "gui/recording/record_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QWebEngineView>
#include <algorithm>
#include <cstdlib>

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/replay/form_action.h"
#include "core/skin/skin_geometry.h"
#include "gui/app/gui_prompter.h"
#include "gui/browser/dom_automation.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/recording/event_file_dialogs.h"
#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page_playback.h"
#include "gui/recording/request_editor_dialog.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {

std::string LoadingText() {
    return J("Loading.. 読み込んでいます");
}
std::string StoppedText() {
    return J("Stoped.. ページ読み込みを中止しました");
}

namespace {

QString& BrowserStorageName() {
    static QString name = QStringLiteral("quillrun");
    return name;
}

}  // namespace

void RecordPage::SetBrowserStorageName(const QString& name) {
    BrowserStorageName() = name;
}

QString RecordPage::BrowserStorage() {
    return BrowserStorageName();
}

RecordPage::RecordPage(QWidget* parent)
    : Page(parent),
      capture_({[this](const std::string& text) { SetAddressText(text); },
                [](const std::string& text) { AddMessage(text); },
                [this] { return browser_ ? browser_->LocationURL() : std::string(); },
                [] { return App().recording == 1; }, &events_,
                [this] { return browser_ ? browser_->RequestedURL() : std::string(); }}) {
    setObjectName(QStringLiteral("RecordPage"));
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("1001"));
    address_->setFont(TheSkin().normalFont);
    address_->setGeometry(21, 36, 500, 20);
    address_->setText(FromCp932(LoadingText()));

    messages_ = new MethodListView(this, 50000);
    messages_->setGeometry(17, 397, 598, 465);
    messages_->InitMessageColumns();
    eventView_ = new MethodListView(this, 50001);
    eventView_->setGeometry(17, 397, 598, 465);
    eventView_->InitEventColumns(&events_);

    browser_ = new WebEngineBrowser(this, BrowserStorageName());
    browser_->view()->setGeometry(18, 72, 598, 330);
    browser_->SetEvents(this);
    browser_->SetHomeUrl(App().settings.startpage);
    browser_->SetScriptRequestListener(
        [this](const ScriptRequest& request) { capture_.OnScriptRequest(request); });
    browser_->SetRecordScriptRequests(App().settings.RecordScriptRequests == 1);

    // Beside the recording view's buttons; takes effect from the next page opened.
    scriptRequests_ = new QCheckBox(QString::fromUtf8("スクリプトの通信も記録"), this);
    scriptRequests_->setObjectName(QStringLiteral("RecordScriptRequests"));
    scriptRequests_->setFont(TheSkin().normalFont);
    scriptRequests_->setToolTip(QString::fromUtf8(
        "ページのスクリプトが fetch() や XMLHttpRequest で送る POST などもイベントにします"
        "（次に開くページから）"));
    scriptRequests_->setChecked(App().settings.RecordScriptRequests == 1);
    connect(scriptRequests_, &QCheckBox::toggled, this, [this](bool on) {
        App().settings.RecordScriptRequests = on ? 1 : 0;
        browser_->SetRecordScriptRequests(on);
    });
    if (!App().settings.startpage.empty()) {
        browser_->Navigate(App().settings.startpage);
    } else {
        browser_->GoHome();
    }
    addressTimer_ = startTimer(1000);
}

RecordPage::~RecordPage() {
    killTimer(addressTimer_);
    if (browser_)
        browser_->SetEvents(nullptr);
}

void RecordPage::SetAddressText(const std::string& text) {
    address_->setText(FromCp932(text));
}

void RecordPage::BeforeNavigate2(const std::string* postData) {
    capture_.OnBeforeNavigate(postData);
}

void RecordPage::DocumentComplete() {
    capture_.OnDocumentComplete();
    if (browser_ != nullptr) {
        WebDomAutomation dom(*browser_);
        RunPendingFormAction(dom);
    }
}

void RecordPage::StartReplay() {
    if (App().playing == 1 || browser_ == nullptr)
        return;
    if (!ConfirmStopRecording())
        return;
    App().playing = 1;
    update();
    if (playback_ == nullptr) {
        playback_ = new RecordPagePlayback(events_, *eventView_, *browser_, this);
        connect(playback_, &RecordPagePlayback::Finished, this, [this] { update(); });
    }
    playback_->Start();
}

void RecordPage::timerEvent(QTimerEvent* event) {
    if (event->timerId() != addressTimer_)
        return;
    std::string shown = CutToWidth(ToCp932(address_->text()), kPathWidth);
    if (shown == LoadingText() || shown == StoppedText()) {
        SetAddressText(browser_ ? browser_->LocationURL() : std::string());
    }
}

int RecordPage::ToolbarTab() const {
    return App().currentTab == kTabRecord ? kTabRecord : kTabBrowse;
}

void RecordPage::resizeEvent(QResizeEvent*) {
    address_->setGeometry(address_->x(), address_->y(), width() - 50, 20);
    if (browser_)
        browser_->view()->setGeometry(18, 72, width() - 50, height() - 190);
    ShowListOfView();
}

void RecordPage::paintEvent(QPaintEvent* event) {
    Page::paintEvent(event);
    ShowListOfView();
}

void RecordPage::ShowListOfView() {
    bool recordView = App().currentTab == kTabRecord;
    if (scriptRequests_ != nullptr) {
        QRect place = ScriptBoxPlace();
        if (scriptRequests_->geometry() != place) {
            scriptRequests_->setGeometry(place);
            // White on the dark band of the toolbar, black on the page's own paper.
            scriptRequests_->setStyleSheet(
                place.y() < 30 ? QStringLiteral("QCheckBox { color: white; }") : QString());
        }
        scriptRequests_->setVisible(recordView);
    }
    MethodListView* shown = recordView ? eventView_ : messages_;
    MethodListView* hidden = recordView ? messages_ : eventView_;
    if (hidden->width() != 0 || hidden->height() != 0)
        hidden->resize(0, 0);
    shown->FitToParent(this);
}

// Beside the recording view's buttons where the page is wide enough, else in the row between
// the browser and the event list: never over a button, always its whole text.
QRect RecordPage::ScriptBoxPlace() const {
    constexpr int kButtonsEnd = 362;  // the fourth button ends at x = 359
    int wanted = scriptRequests_->sizeHint().width();
    int right = width() - 12;  // left of the octagon's corner
    int left = std::max(kButtonsEnd, width() - 245);
    if (left + wanted <= right)
        return QRect(left, 6, std::max(wanted, std::min(215, right - left)), 22);
    return QRect(18, height() - 118, wanted, 18);
}

void RecordPage::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() != Qt::LeftButton)
        return;
    QPoint p = event->position().toPoint();
    int count = App().currentTab == kTabRecord ? 4 : 5;
    int k = ToolbarButtonAt(p.x(), p.y(), count);
    if (k >= 0)
        PressToolbarButton(k);
}

void RecordPage::PressToolbarButton(int k) {
    if (App().currentTab != kTabRecord) {
        PressBrowsingButton(k);
        return;
    }
    switch (k) {
        case 0:
            ToggleRecording();
            break;
        case 1:
            StartReplay();
            break;
        case 2:
            OpenEventFile();
            break;
        case 3:
            SaveEventFileAs();
            break;
        default:
            break;
    }
}

void RecordPage::PressBrowsingButton(int k) {
    if (browser_ == nullptr)
        return;
    switch (k) {
        case 0:
            browser_->GoBack();
            break;
        case 1:
            browser_->GoForward();
            break;
        case 2:
            address_->setText(FromCp932(StoppedText()));
            browser_->Stop();
            break;
        case 3:
            address_->setText(FromCp932(LoadingText()));
            browser_->Refresh();
            break;
        case 4:
            address_->setText(FromCp932(LoadingText()));
            browser_->GoHome();
            break;
        default:
            break;
    }
}

void RecordPage::ToggleRecording() {
    if (App().recording == 0 && App().playing == 0) {
        App().recording = 1;
        events_.Clear();
        capture_.ResetPreviousUrl();
    } else {
        App().recording = 0;
        events_.AppendEmptyPair();
    }
    update();
}

bool RecordPage::ConfirmStopRecording() {
    if (App().recording == 0)
        return true;
    if (ShowPrompt(this, J("記録中です。記録を終了しますか？"), "Question", PromptButtons::YesNo,
                   PromptIcon::Question) != PromptAnswer::Yes) {
        return false;
    }
    App().recording = 0;
    events_.AppendEmptyPair();
    update();
    return true;
}

void RecordPage::OpenEventFile() {
    if (!ConfirmStopRecording())
        return;
    ImportEventFile(this, events_);
}

void RecordPage::SaveEventFileAs() {
    ExportEventFile(this, events_);
}

void RecordPage::OnAddressEnter() {
    std::string text = CutToWidth(ToCp932(address_->text()), kPathWidth);
    if (browser_)
        browser_->Navigate(text);
    AddMessage(J("リクエスト ") + text);
}

void RecordPage::DeleteFocusedEvent() {
    int row = eventView_->FocusRow();
    if (row < 0 || row % 2 != 0)
        return;
    std::string cell = CutToWidth(events_.Cell(row, 0), kPathWidth);
    events_.DeleteEvent(std::atoi(cell.c_str()));
}

void RecordPage::EditFocusedEvent() {
    int row = eventView_->FocusRow();
    if (row < 0 || row % 2 != 0)
        return;
    if (!ConfirmStopRecording())
        return;
    FillCurrentRequest(events_, row);
    RequestEditorDialog::Run(this, events_, row);
}

}  // namespace quillrun
