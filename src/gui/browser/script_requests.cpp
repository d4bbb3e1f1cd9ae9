// The page's own fetch() and XMLHttpRequest calls: recorded through a hook in the page's world,
// and a script row of a replay sent again with fetch() from the page shown.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "core/recording/event_line.h"
#include "gui/browser/web_engine_browser.h"
#include "gui/text.h"

namespace quillrun {
namespace {

const char kScriptHookName[] = "quillrun-script-requests";

}  // namespace

void WebEngineBrowser::SetRecordScriptRequests(bool on) {
    recordScripts_ = on;
    for (const QWebEngineScript& old : page_->scripts().find(QLatin1String(kScriptHookName)))
        page_->scripts().remove(old);
    if (!on)
        return;
    QFile hook(QStringLiteral(":/quillrun/script_request_hook.js"));
    hook.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setName(QLatin1String(kScriptHookName));
    script.setSourceCode(QString::fromUtf8(hook.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    page_->scripts().insert(script);
}

void WebEngineBrowser::ScriptRequestReported(const QString& json) {
    // Only while the hook is meant to be there: any page may write such a console line.
    if (!recordScripts_ || !scriptListener_)
        return;
    QJsonObject info = QJsonDocument::fromJson(json.toUtf8()).object();
    ScriptRequest request;
    request.kind = info.value(QStringLiteral("kind")).toString().toStdString();
    request.via = info.value(QStringLiteral("via")).toString().toStdString();
    request.method = info.value(QStringLiteral("method")).toString().toStdString();
    request.url = ToCp932(info.value(QStringLiteral("url")).toString());
    request.origin = info.value(QStringLiteral("origin")).toString().toLatin1().toStdString();
    request.why = info.value(QStringLiteral("why")).toString().toStdString();
    // Header texts are the bytes on the wire, one character each.
    for (const QJsonValue& pair : info.value(QStringLiteral("headers")).toArray()) {
        QJsonArray h = pair.toArray();
        request.headers.emplace_back(h.at(0).toString().toLatin1().toStdString(),
                                     h.at(1).toString().toLatin1().toStdString());
    }
    request.body = QByteArray::fromBase64(info.value(QStringLiteral("body")).toString().toLatin1())
                       .toStdString();
    scriptListener_(request);
}

bool WebEngineBrowser::SendScriptRequest(const std::string& method, const std::string& url,
                                         const std::string& body, const std::string& headers) {
    static int fetches = 0;
    pendingFetch_ = QString::number(++fetches);
    scriptAnswer_ = ScriptAnswer();
    QJsonArray headerList;
    for (const auto& [name, value] : SplitRowHeaders(headers))
        headerList.append(
            QJsonArray{QString::fromLatin1(name.c_str()), QString::fromLatin1(value.c_str())});
    QJsonArray call{pendingFetch_, QString::fromLatin1(method.c_str()),
                    UrlFromText(url).toString(QUrl::FullyEncoded), headerList,
                    QString::fromLatin1(QByteArray::fromStdString(body).toBase64())};
    QString arguments = QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact));
    arguments = arguments.mid(1, arguments.size() - 2);  // the array's items as arguments
    QString id = pendingFetch_;
    page_->runJavaScript(QStringLiteral("window.__quillrunReplayFetch ? "
                                        "window.__quillrunReplayFetch(%1) : false")
                             .arg(arguments),
                         QWebEngineScript::ApplicationWorld, [this, id](const QVariant& started) {
                             if (!started.toBool() && pendingFetch_ == id) {
                                 pendingFetch_.clear();
                                 scriptAnswer_.error = "the page shown cannot send it";
                             }
                         });
    return true;
}

void WebEngineBrowser::ScriptAnswerReported(const QJsonObject& answer) {
    if (answer.value(QStringLiteral("id")).toString() != pendingFetch_)
        return;  // a fetch the replay gave up on
    pendingFetch_.clear();
    if (answer.contains(QStringLiteral("error"))) {
        scriptAnswer_.error = answer.value(QStringLiteral("error")).toString().toStdString();
        return;
    }
    scriptAnswer_.answered = true;
    scriptAnswer_.status = answer.value(QStringLiteral("status")).toInt();
    scriptAnswer_.statusText = answer.value(QStringLiteral("statusText")).toString().toStdString();
    scriptAnswer_.text = answer.value(QStringLiteral("text")).toString().toStdString();
}

}  // namespace quillrun
