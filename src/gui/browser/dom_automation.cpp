#include "gui/browser/dom_automation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWebEngineScript>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/text.h"

namespace quillrun {
namespace {

// The form automation's script (dom_automation.js, a resource of this library): a function
// of the SET step's values, clicks and submit name.
QString AutomationScript() {
    QFile file(QStringLiteral(":/quillrun/dom_automation.js"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).trimmed();
}

}  // namespace

QString FormActionScript(const FormActionPlan& plan, bool probeOnly) {
    QJsonArray values;
    for (const auto& v : plan.values)
        values.append(QJsonArray{FromCp932(v.first), FromCp932(v.second)});
    QJsonArray clicks;
    for (const auto& c : plan.clicks)
        clicks.append(FromCp932(c));
    QJsonArray text{FromCp932(plan.submitText)};
    // The fixed first value is for pages that know it; a page without it lacks nothing.
    bool firstOptional = !plan.values.empty() && plan.values.front().first == "tindrel";
    auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    QString args = QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(clicks).toJson(QJsonDocument::Compact)) +
                   QStringLiteral(",") + flag(plan.submit) + QStringLiteral(",") +
                   QString::fromUtf8(QJsonDocument(text).toJson(QJsonDocument::Compact)) +
                   QStringLiteral("[0],") + flag(probeOnly) + QStringLiteral(",") +
                   flag(firstOptional);
    return AutomationScript() + QStringLiteral("(") + args + QStringLiteral(");");
}

namespace {

// One SET action on the page: it waits (looking every 200 ms, up to 10 s) for the elements it
// names, since many pages draw their forms by script after they loaded, then carries out what
// it can. A step whose element never came is said and counts as a failed step of the run.
class FormActionRun : public QObject {
  public:
    static constexpr int kWaitMilliseconds = 10000;
    static constexpr int kLookEveryMilliseconds = 200;

    FormActionRun(WebEngineBrowser& browser, FormActionPlan plan)
        : QObject(&browser), browser_(&browser), plan_(std::move(plan)) {
        waited_.start();
        Look();
    }

  private:
    void Look() {
        // Busy for the replay while the action waits: its next row must not overtake it.
        browser_->FormActionCarried();
        QPointer<FormActionRun> self(this);
        browser_->page()->runJavaScript(FormActionScript(plan_, true),
                                        QWebEngineScript::ApplicationWorld,
                                        [self](const QVariant& missing) {
                                            if (self)
                                                self->Looked(missing.toStringList());
                                        });
    }
    void Looked(const QStringList& missing) {
        if (!missing.isEmpty() && waited_.elapsed() < kWaitMilliseconds) {
            QTimer::singleShot(kLookEveryMilliseconds, this, [this] { Look(); });
            return;
        }
        for (const QString& step : missing) {
            std::string text = ToCp932(step);
            AddMessage(J("SET: 10秒待っても要素が見つからないため、この操作は行いません: ") + text);
            NoteFormActionFailure("element not found after 10 s: " + step.toUtf8().toStdString());
        }
        QPointer<WebEngineBrowser> browser(browser_);
        browser_->FormActionCarried();
        browser_->page()->runJavaScript(FormActionScript(plan_, false),
                                        QWebEngineScript::ApplicationWorld,
                                        [browser](const QVariant&) {
                                            if (browser)
                                                browser->FormActionConfirmed();
                                        });
        deleteLater();
    }

    WebEngineBrowser* browser_;
    FormActionPlan plan_;
    QElapsedTimer waited_;
};

}  // namespace

void WebDomAutomation::Carry(const FormActionPlan& plan) {
    new FormActionRun(browser_, plan);
}

}  // namespace quillrun
