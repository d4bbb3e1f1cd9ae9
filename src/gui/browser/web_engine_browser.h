// gui/browser: the Browser interface on Qt WebEngine: the page and its dialogs, the capture
// bridge and frame reports, the page's script requests, DOM automation, waits.
//
// The embedded browser: Qt WebEngine behind the program's Browser interface. It reports the
// start of every navigation (with the body of a form sent by POST), every completed document,
// and refuses every new window. Its parts live in files of their own: the page and its dialogs
// (quillrun_page), the capture bridge and the frames' reports (capture_bridge), the page's
// script requests (script_requests.cpp); navigation and the engine's state here.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWebEnginePage>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/browser/browser.h"
#include "core/browser/navigation_tracker.h"
#include "core/recording/script_request.h"
#include "gui/browser/capture_bridge.h"
#include "gui/browser/quillrun_page.h"

class QWebEngineView;
class QWebEngineProfile;
class QWebChannel;
class QWidget;
class QJsonObject;

namespace quillrun {

class RequestSourceInterceptor;

class WebEngineBrowser : public QObject, public Browser {
    Q_OBJECT
  public:
    // A persistent profile under storageName, or an off-the-record one when it is empty.
    WebEngineBrowser(QWidget* parent, const QString& storageName);
    ~WebEngineBrowser() override;

    QWebEngineView* view() const { return view_; }
    QuillrunPage* page() const { return page_; }
    void SetEvents(BrowserEvents* events) { events_ = events; }
    // The address GoHome opens.
    void SetHomeUrl(const std::string& url) { home_ = url; }

    void Navigate(const std::string& url) override;
    void NavigateWithPost(const std::string& url, const std::string& postData,
                          const std::string& header) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    void GoHome() override;
    std::string LocationURL() const override;
    // The address the current document's navigation asked for: the top page's request before
    // any redirect, or the action of the form a frame sent; exact bytes where the engine told
    // them.
    std::string RequestedURL() const;
    bool Busy() const override;
    bool LastLoadSucceeded() const override { return lastLoadOk_; }
    void Exec(BrowserCommand command) override;
    bool TakePagesOwnNavigation(const std::string& url, bool post) override;
    std::vector<std::string> FrameAddresses() override;
    bool PageTokensShown(std::string& token, std::string& param, std::string& cookies) override;
    void SetNextRequestSource(const std::string& url, const std::string& method,
                              const std::string& origin, const std::string& referrer) override;
    std::string PageText() override;
    void WarmUp(const std::string& origin) override;
    bool FormsOnPage(std::vector<FormOnPage>& forms, std::string& charset) override;

    // Whether the page's own fetch() and XMLHttpRequest calls are reported (from the next
    // document on), and who hears of them.
    void SetRecordScriptRequests(bool on);
    bool RecordsScriptRequests() const { return recordScripts_; }
    void SetScriptRequestListener(std::function<void(const ScriptRequest&)> listener) {
        scriptListener_ = std::move(listener);
    }
    // The page's hook told of a script request (JSON).
    void ScriptRequestReported(const QString& json);

    // A script row of a replay: sent with fetch() from the page shown, busy until answered.
    bool SendScriptRequest(const std::string& method, const std::string& url,
                           const std::string& body, const std::string& headers) override;
    ScriptAnswer LastScriptAnswer() const override { return scriptAnswer_; }
    // The answer to the fetch of that id (JSON), from the capture script.
    void ScriptAnswerReported(const QJsonObject& answer);

    // Runs a script in the application's world and waits for its result with a local event
    // loop (never from inside the browser's own callbacks).
    QVariant RunScript(const QString& script, int timeoutMilliseconds = 10000);

    // A form action's clicks or submits are about to run (and, confirmed, have run): the
    // browser stays busy for the navigation they may start.
    void FormActionCarried();
    void FormActionConfirmed();

    // Called by the page and the bridge.
    void NavigationStarting(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame);
    // A form's body as the engine sends it, and the address it goes to.
    void FormBodyCaptured(const std::string& body, const std::string& action);
    // The top document's address as the engine holds it (percent escapes as written).
    void DocumentAddressReported(const std::string& href);
    // A link or form asked for a new window, which never opens.
    void NewWindowRefused(const QString& address);
    void FrameLoaded();
    // A frame's console report ("<nonce> <mac> <text>"), passed to the bridge when genuine.
    void FrameReport(const QString& line);

  private:
    bool recordScripts_ = false;
    std::function<void(const ScriptRequest&)> scriptListener_;
    // The replay's fetch under way (its id), and the last answer.
    QString pendingFetch_;
    ScriptAnswer scriptAnswer_;
    QSet<QString> usedNonces_;
    QWebEngineProfile* profile_ = nullptr;
    QWebEngineView* view_ = nullptr;
    QuillrunPage* page_ = nullptr;
    QWebChannel* channel_ = nullptr;
    CaptureBridge* bridge_ = nullptr;
    RequestSourceInterceptor* sources_ = nullptr;
    BrowserEvents* events_ = nullptr;
    std::string home_;
    bool lastLoadOk_ = true;
    // The load under way was stopped: its end is not a completed document.
    bool stopped_ = false;
    // Busy from the request of a navigation until it has finished.
    mutable NavigationTracker tracker_;
    // A captured form body and its submission's navigation are paired within this long.
    static constexpr int kPairingMilliseconds = 3000;
    struct CapturedForm {
        std::string body;
        std::string action;
    };
    void TakeCapturedForm(const CapturedForm& form);
    std::optional<CapturedForm> heldBody_;
    bool formNavigationWaiting_ = false;
    bool formNavigationInFrame_ = false;
    // The body of a POST this program started itself (a replay), taken by its navigation.
    std::optional<std::string> ownPostBody_;
    // The top page's navigations since the program's own last one, not started by it.
    struct PageNavigation {
        QUrl url;
        bool form = false;
    };
    std::vector<PageNavigation> pageNavigations_;
    bool ownNavigationPending_ = false;
    // The top page's latest navigation has come in (its address changed, or it finished).
    bool topCommitted_ = true;
    std::string topRequest_;
    std::string requested_;
    std::string documentHref_;
    QElapsedTimer pairing_;
    QElapsedTimer clock_;
    QElapsedTimer newWindowSaid_;
};

// Turns an address typed or recorded (CP932) into a URL.
QUrl UrlFromText(const std::string& cp932);

}  // namespace quillrun
