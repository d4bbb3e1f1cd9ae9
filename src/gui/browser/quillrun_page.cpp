#include "gui/browser/quillrun_page.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QWebEngineView>
#include <cstring>

#include "gui/browser/capture_bridge.h"
#include "gui/browser/web_engine_browser.h"

namespace quillrun {

const char kAlertTitle[] = "Microsoft Internet Explorer";
const char kScriptErrorTitle[] = "Internet Explorer スクリプト エラー";

QuillrunPage::QuillrunPage(QWebEngineProfile* profile, WebEngineBrowser* browser)
    : QWebEnginePage(profile, browser), browser_(browser) {}

bool QuillrunPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    browser_->NavigationStarting(url, type, isMainFrame);
    return true;
}

QWebEnginePage* QuillrunPage::createWindow(WebWindowType) {
    browser_->NewWindowRefused(QString());
    return nullptr;  // no pop-up or new browser window ever opens
}

void QuillrunPage::javaScriptAlert(const QUrl&, const QString& msg) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAlertTitle), msg, QMessageBox::Ok,
                    QWebEngineView::forPage(this));
    box.exec();
}

bool QuillrunPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAlertTitle), msg,
                    QMessageBox::Ok | QMessageBox::Cancel, QWebEngineView::forPage(this));
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

bool QuillrunPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                                    QString* result) {
    QInputDialog dialog(QWebEngineView::forPage(this));
    dialog.setWindowTitle(QString::fromUtf8(kAlertTitle));
    dialog.setLabelText(msg);
    dialog.setTextValue(defaultValue);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *result = dialog.textValue();
    return true;
}

void QuillrunPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                            const QString& message, int lineNumber,
                                            const QString& sourceID) {
    if (message.startsWith(QLatin1String(kFrameReportPrefix))) {
        browser_->FrameReport(message.mid(static_cast<int>(std::strlen(kFrameReportPrefix))));
        return;
    }
    if (message.startsWith(QLatin1String(kScriptRequestPrefix))) {
        browser_->ScriptRequestReported(
            message.mid(static_cast<int>(std::strlen(kScriptRequestPrefix))));
        return;
    }
    if (level != ErrorMessageLevel || !message.startsWith(QStringLiteral("Uncaught")))
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kScriptErrorTitle),
                                message + QStringLiteral("\n") + sourceID + QStringLiteral(":") +
                                    QString::number(lineNumber),
                                QMessageBox::Ok, QWebEngineView::forPage(this));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

}  // namespace quillrun
