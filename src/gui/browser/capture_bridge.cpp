#include "gui/browser/capture_bridge.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include "core/web/form_encoding.h"
#include "gui/browser/web_engine_browser.h"

// The capture script is a resource of this library; a static library registers it by hand.
static void InitBrowserResources() {
    Q_INIT_RESOURCE(browser);
}

namespace quillrun {

const char kFrameReportPrefix[] = "quillrun-frame-report ";
const char kScriptRequestPrefix[] = "quillrun-script-request ";

namespace {

// A secret of this run that the page's own scripts cannot read: it lives only in the capture
// script's source, in the application's world.
QString RunSecret() {
    static const QString secret = [] {
        QString hex;
        for (int i = 0; i < 4; ++i)
            hex +=
                QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0');
        return hex;
    }();
    return secret;
}

}  // namespace

QString CaptureScriptSource() {
    InitBrowserResources();
    QFile channel(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QFile capture(QStringLiteral(":/quillrun/capture_script.js"));
    channel.open(QIODevice::ReadOnly);
    capture.open(QIODevice::ReadOnly);
    QString source = QString::fromUtf8(capture.readAll());
    source.replace(QStringLiteral("QUILLRUN_SECRET"),
                   QLatin1Char('\'') + RunSecret() + QLatin1Char('\''));
    return QString::fromUtf8(channel.readAll()) + QStringLiteral("\n") + source;
}

void WebEngineBrowser::FrameReport(const QString& line) {
    // "<nonce> <mac> <text>": taken when the MAC is the capture script's and the nonce is new.
    int first = line.indexOf(QLatin1Char(' '));
    int second = first < 0 ? -1 : line.indexOf(QLatin1Char(' '), first + 1);
    if (second < 0)
        return;
    QString nonce = line.left(first);
    QByteArray mac = line.mid(first + 1, second - first - 1).toLatin1();
    QString text = line.mid(second + 1);
    QByteArray expected =
        QMessageAuthenticationCode::hash((nonce + QLatin1Char('\n') + text).toUtf8(),
                                         RunSecret().toUtf8(), QCryptographicHash::Sha256)
            .toHex();
    if (mac != expected || usedNonces_.contains(nonce))
        return;
    usedNonces_.insert(nonce);
    bridge_->formSubmitted(text);
}

void CaptureBridge::formSubmitted(const QString& json) {
    QJsonObject info = QJsonDocument::fromJson(json.toUtf8()).object();
    if (info.value(QStringLiteral("frameLoaded")).toBool()) {
        browser_->FrameLoaded();
        return;
    }
    if (info.contains(QStringLiteral("fetchAnswer"))) {
        browser_->ScriptAnswerReported(info.value(QStringLiteral("fetchAnswer")).toObject());
        return;
    }
    if (info.contains(QStringLiteral("newWindow"))) {
        browser_->NewWindowRefused(info.value(QStringLiteral("newWindow")).toString());
        return;
    }
    // Only the top document's script reports its location.
    if (info.contains(QStringLiteral("location"))) {
        browser_->DocumentAddressReported(
            info.value(QStringLiteral("location")).toString().toStdString());
        return;
    }
    FormSubmission form;
    form.enctype = info.value(QStringLiteral("enctype")).toString().toStdString();
    form.acceptCharset = info.value(QStringLiteral("acceptCharset")).toString().toStdString();
    form.documentCharset = info.value(QStringLiteral("charset")).toString().toStdString();
    for (const QJsonValue& value : info.value(QStringLiteral("entries")).toArray()) {
        QJsonObject e = value.toObject();
        FormEntry entry;
        entry.name = e.value(QStringLiteral("name")).toString().toStdString();
        if (e.value(QStringLiteral("file")).toBool()) {
            entry.isFile = true;
            entry.fileName = e.value(QStringLiteral("fileName")).toString().toStdString();
            entry.contentType = e.value(QStringLiteral("type")).toString().toStdString();
            QByteArray bytes =
                QByteArray::fromBase64(e.value(QStringLiteral("content")).toString().toLatin1());
            entry.value.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        } else {
            entry.value = e.value(QStringLiteral("value")).toString().toStdString();
            if (e.contains(QStringLiteral("valueBytes"))) {
                entry.engineEncoded = true;
                entry.encodedName = QByteArray::fromBase64(
                                        e.value(QStringLiteral("nameBytes")).toString().toLatin1())
                                        .toStdString();
                entry.encodedValue =
                    QByteArray::fromBase64(
                        e.value(QStringLiteral("valueBytes")).toString().toLatin1())
                        .toStdString();
            }
        }
        form.entries.push_back(std::move(entry));
    }
    browser_->FormBodyCaptured(EncodeFormBody(form, MakeFormBoundary()),
                               info.value(QStringLiteral("action")).toString().toStdString());
}

void WebEngineBrowser::TakeCapturedForm(const CapturedForm& form) {
    if (!form.action.empty())
        requested_ = form.action;
    if (events_)
        events_->BeforeNavigate2(&form.body);
}

void WebEngineBrowser::FrameLoaded() {
    formNavigationWaiting_ = false;
    if (events_)
        events_->DocumentComplete();
}

void WebEngineBrowser::FormBodyCaptured(const std::string& body, const std::string& action) {
    // A body counts only with the form submission's navigation; the two reach the host in
    // either order.
    CapturedForm form{body, action};
    if (formNavigationWaiting_ && pairing_.elapsed() <= kPairingMilliseconds) {
        formNavigationWaiting_ = false;
        TakeCapturedForm(form);
        return;
    }
    formNavigationWaiting_ = false;
    heldBody_ = std::move(form);
    pairing_.start();
}

void WebEngineBrowser::DocumentAddressReported(const std::string& href) {
    documentHref_ = href;
}

}  // namespace quillrun
