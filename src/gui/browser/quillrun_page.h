// The engine's page as the program wants it: every navigation told to the browser, no new
// window, and the page's alert, confirm and prompt boxes and its script errors as top-level
// boxes with the titles the dialog closer looks for.
#pragma once

#include <QWebEnginePage>

namespace quillrun {

class WebEngineBrowser;

// Titles of the browser's message boxes.
extern const char kAlertTitle[];        // "Microsoft Internet Explorer"
extern const char kScriptErrorTitle[];  // "Internet Explorer スクリプト エラー" (UTF-8)

class QuillrunPage : public QWebEnginePage {
    Q_OBJECT
  public:
    QuillrunPage(QWebEngineProfile* profile, WebEngineBrowser* browser);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

  private:
    WebEngineBrowser* browser_;
};

}  // namespace quillrun
