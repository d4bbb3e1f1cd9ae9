#include "gui/browser/web_engine_browser.h"

#include <QEventLoop>
#include <QFile>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstring>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/web/form_encoding.h"
#include "gui/browser/request_source_interceptor.h"
#include "gui/text.h"

namespace quillrun {

QUrl UrlFromText(const std::string& cp932) {
    QString text = FromCp932(cp932).trimmed();
    QUrl url(text, QUrl::TolerantMode);
    if (url.scheme().isEmpty())
        url = QUrl::fromUserInput(text);
    return url;
}

WebEngineBrowser::WebEngineBrowser(QWidget* parent, const QString& storageName) : QObject(parent) {
    profile_ = storageName.isEmpty() ? new QWebEngineProfile(this)
                                     : new QWebEngineProfile(storageName, this);
    page_ = new QuillrunPage(profile_, this);
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);

    QWebEngineScript script;
    script.setName(QStringLiteral("quillrun-capture"));
    script.setSourceCode(CaptureScriptSource());
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    page_->scripts().insert(script);

    sources_ = new RequestSourceInterceptor(this);
    page_->setUrlRequestInterceptor(sources_);

    channel_ = new QWebChannel(this);
    bridge_ = new CaptureBridge(this);
    channel_->registerObject(QStringLiteral("quillrunCapture"), bridge_);
    page_->setWebChannel(channel_, QWebEngineScript::ApplicationWorld);

    view_ = new QWebEngineView(parent);
    view_->setPage(page_);
    clock_.start();
    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        stopped_ = false;
        tracker_.LoadStarted();
    });
    connect(page_, &QWebEnginePage::urlChanged, this, [this] {
        topCommitted_ = true;
        tracker_.UrlChangedWithoutLoad();
    });
    // A page whose certificate cannot be trusted is not opened (never overridden); the row
    // ends with a line in the message list instead of a silent wait.
    connect(page_, &QWebEnginePage::certificateError, this,
            [](const QWebEngineCertificateError& error) {
                QWebEngineCertificateError refused = error;
                refused.rejectCertificate();
                AddMessage(J("証明書を確認できないため、ページを開きません（") +
                           ToCp932(error.description()) + J("）: ") +
                           ToCp932(error.url().toString()));
            });
    // A stopped load ends without loadFinished.
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus) {
                    stopped_ = true;
                    tracker_.LoadFinished();
                }
            });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        // A load stopped part way (the page shown so far) is no completed document: it is
        // neither recorded nor taken by a SET step.
        if (stopped_) {
            stopped_ = false;
            lastLoadOk_ = false;
            formNavigationWaiting_ = false;
            tracker_.LoadFinished();
            return;
        }
        lastLoadOk_ = ok;
        topCommitted_ = true;
        // A form body reported from here on belongs to no submission that came before.
        formNavigationWaiting_ = false;
        // Not busy from here on, so that a form action carried out now keeps it busy anew.
        tracker_.LoadFinished();
        if (events_)
            events_->DocumentComplete();
    });
}

WebEngineBrowser::~WebEngineBrowser() {
    events_ = nullptr;
    delete view_;
    delete page_;
}

namespace {

std::string UrlText(const QUrl& url) {
    return url.toEncoded().toStdString();
}

}  // namespace

void WebEngineBrowser::NavigationStarting(const QUrl& url, QWebEnginePage::NavigationType type,
                                          bool isMainFrame) {
    if (events_)
        events_->BeforeNavigate2(nullptr);
    // A server's redirect carries on the navigation it answers: that one's request and body
    // stand. The engine names a meta refresh or a script's jump after the page came in a
    // redirect too; that is a request of the page's own.
    if (type == QWebEnginePage::NavigationTypeRedirect) {
        if (!isMainFrame || !topCommitted_)
            return;
        type = QWebEnginePage::NavigationTypeOther;
    }
    if (isMainFrame)
        topCommitted_ = false;
    bool formSubmission = type == QWebEnginePage::NavigationTypeFormSubmitted;
    if (isMainFrame) {
        topRequest_ = requested_ = UrlText(url);
        if (ownNavigationPending_) {
            ownNavigationPending_ = false;
        } else if (type != QWebEnginePage::NavigationTypeReload &&
                   type != QWebEnginePage::NavigationTypeBackForward) {
            pageNavigations_.push_back({url, formSubmission});
        }
    } else {
        // A frame's own form is recorded at its action; its other loads repeat the top page.
        requested_ = formSubmission ? UrlText(url) : topRequest_;
    }
    if (ownPostBody_ && isMainFrame) {
        std::string body = std::move(*ownPostBody_);
        ownPostBody_.reset();
        if (events_)
            events_->BeforeNavigate2(&body);
        return;
    }
    if (!formSubmission) {
        // A body whose form was never sent (a script's `new FormData(form)`) is dropped.
        heldBody_.reset();
        formNavigationWaiting_ = false;
        return;
    }
    if (heldBody_ && pairing_.elapsed() <= kPairingMilliseconds) {
        CapturedForm form = std::move(*heldBody_);
        heldBody_.reset();
        TakeCapturedForm(form);
        return;
    }
    heldBody_.reset();
    formNavigationWaiting_ = true;
    pairing_.start();
}

void WebEngineBrowser::NewWindowRefused(const QString& address) {
    // A link's click is told by the page's script and may reach the engine too: said once.
    if (newWindowSaid_.isValid() && newWindowSaid_.elapsed() < 1000)
        return;
    newWindowSaid_.start();
    std::string text =
        J("新しいウィンドウは開きません（リンクまたはフォームが新しいウィンドウを指定しています）");
    if (!address.isEmpty())
        text += J(": ") + ToCp932(address);
    AddMessage(text);
}

namespace {

// An address that QUrl would rewrite (it decodes %7E and %41, and writes %2f as %2F) while a
// server may tell them apart: printable ASCII, an escape, and not what QUrl makes of it.
bool NeedsTheEnginesOwnParsing(const std::string& text, const QUrl& url) {
    if (text.find('%') == std::string::npos || !url.isValid())
        return false;
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return false;
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7F)
            return false;
    }
    return UrlText(url) != text;
}

}  // namespace

void WebEngineBrowser::Navigate(const std::string& url) {
    pendingFetch_.clear();  // a script row given up on is not waited for any longer
    ownPostBody_.reset();
    QUrl target = UrlFromText(url);
    pageNavigations_.clear();
    if (target.isValid()) {
        tracker_.NavigationRequested(clock_.elapsed());
        ownNavigationPending_ = true;
    }
    std::string text = ToCp932(FromCp932(url).trimmed());
    if (!NeedsTheEnginesOwnParsing(text, target)) {
        page_->load(target);
        return;
    }
    // The engine keeps an address's escapes as written when the page's script goes there; no
    // page script sees it (the program's own world), and no Referer goes, as with a load.
    QString script =
        QStringLiteral(
            "(function (u) { try {"
            " var m = document.createElement('meta'); m.name = 'referrer';"
            " m.content = 'no-referrer';"
            " (document.head || document.documentElement).appendChild(m);"
            " location.href = u; return true; } catch (e) { return false; } })(%1)")
            .arg(QString::fromStdString(QJsonDocument(QJsonArray{QString::fromStdString(text)})
                                            .toJson(QJsonDocument::Compact)
                                            .toStdString())
                     .mid(1)
                     .chopped(1));
    QPointer<QuillrunPage> page(page_);
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [page, target](const QVariant& done) {
                             if (page && !done.toBool())
                                 page->load(target);
                         });
}

void WebEngineBrowser::WarmUp(const std::string& origin) {
    // The engine's own hints in the page shown: a host lookup ahead (on once an IE task has
    // asked for it) and a connection where the engine makes one (this engine's version does
    // not); neither sends the site a request.
    page_->settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, true);
    QString script =
        QStringLiteral(
            "(function (o) { try { ['dns-prefetch', 'preconnect'].forEach(function (r) {"
            " var l = document.createElement('link'); l.rel = r; l.href = o;"
            " (document.head || document.documentElement).appendChild(l); });"
            " } catch (e) {} })(%1)")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray{QString::fromStdString(origin)})
                                       .toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1));
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void WebEngineBrowser::FormActionCarried() {
    tracker_.FormActionCarried(clock_.elapsed());
}

void WebEngineBrowser::FormActionConfirmed() {
    tracker_.FormActionConfirmed(clock_.elapsed());
}

void WebEngineBrowser::NavigateWithPost(const std::string& url, const std::string& postData,
                                        const std::string& header) {
    pendingFetch_.clear();
    QWebEngineHttpRequest request(UrlFromText(url), QWebEngineHttpRequest::Post);
    request.setPostData(QByteArray(postData.data(), static_cast<qsizetype>(postData.size())));
    std::size_t colon = header.find(':');
    if (colon != std::string::npos) {
        std::string name = header.substr(0, colon);
        std::string value = header.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
            value.pop_back();
        request.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    }
    pageNavigations_.clear();
    if (request.url().isValid()) {
        tracker_.NavigationRequested(clock_.elapsed());
        ownNavigationPending_ = true;
        // Recorded as the body of its navigation, as a form's would be.
        ownPostBody_ = postData;
    }
    page_->load(request);
}

void WebEngineBrowser::GoBack() {
    page_->triggerAction(QWebEnginePage::Back);
}
void WebEngineBrowser::GoForward() {
    page_->triggerAction(QWebEnginePage::Forward);
}
void WebEngineBrowser::Stop() {
    pendingFetch_.clear();
    stopped_ = tracker_.Busy(clock_.elapsed());
    tracker_.Stopped();
    page_->triggerAction(QWebEnginePage::Stop);
}
void WebEngineBrowser::Refresh() {
    page_->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::GoHome() {
    if (home_.empty()) {
        page_->load(QUrl(QStringLiteral("about:blank")));
    } else {
        Navigate(home_);
    }
}

std::string WebEngineBrowser::LocationURL() const {
    // The engine's own text keeps escapes such as %7E and %2f that QUrl would rewrite.
    if (!documentHref_.empty() && QUrl(QString::fromStdString(documentHref_)) == page_->url())
        return documentHref_;
    return UrlText(page_->url());
}

std::string WebEngineBrowser::RequestedURL() const {
    if (!documentHref_.empty() && !requested_.empty() &&
        QUrl(QString::fromStdString(documentHref_)) == QUrl(QString::fromStdString(requested_)))
        return documentHref_;
    return requested_;
}

bool WebEngineBrowser::TakePagesOwnNavigation(const std::string& url, bool post) {
    QUrl target = UrlFromText(url);
    target.setFragment(QString());
    for (const PageNavigation& done : pageNavigations_) {
        QUrl asked = done.url;
        asked.setFragment(QString());
        if (asked == target && (!post || done.form)) {
            pageNavigations_.clear();
            return true;
        }
    }
    return false;
}

std::vector<std::string> WebEngineBrowser::FrameAddresses() {
    std::vector<std::string> addresses;
    QVariant frames = RunScript(
        QStringLiteral("Array.prototype.map.call(document.querySelectorAll('iframe, frame'),"
                       " function (f) { return String(f.src || ''); })"));
    for (const QVariant& address : frames.toList())
        addresses.push_back(ToCp932(address.toString()));
    return addresses;
}

bool WebEngineBrowser::PageTokensShown(std::string& token, std::string& param,
                                       std::string& cookies) {
    QVariantList found =
        RunScript(QStringLiteral(
                      "(function () { function m(n) {"
                      " var e = document.querySelector('meta[name=\"' + n + '\" i]');"
                      " return e ? String(e.content) : ''; }"
                      " return [m('csrf-token') || m('_csrf') || m('csrf_token'), m('csrf-param'),"
                      " String(document.cookie)]; })()"))
            .toList();
    if (found.size() != 3)
        return false;
    token = found[0].toString().toStdString();
    param = found[1].toString().toStdString();
    cookies = found[2].toString().toStdString();
    return true;
}

void WebEngineBrowser::SetNextRequestSource(const std::string& url, const std::string& method,
                                            const std::string& origin,
                                            const std::string& referrer) {
    sources_->Expect(UrlFromText(url), QByteArray::fromStdString(method),
                     QByteArray::fromStdString(origin), QByteArray::fromStdString(referrer));
}

bool WebEngineBrowser::FormsOnPage(std::vector<FormOnPage>& forms, std::string& charset) {
    // The forms' controls as the engine ties them (form= attributes included), read in the
    // program's own world.
    QVariant result = RunScript(
        QStringLiteral(
            "JSON.stringify({ charset: document.characterSet, forms: Array.from(document.forms)"
            ".map(function (f) { return { action: f.action, hidden: Array.from(f.elements)"
            ".filter(function (e) { return e.type === 'hidden' && e.name && !e.disabled; })"
            ".map(function (e) { return [e.name, e.value]; }) }; }) })"),
        5000);
    QJsonObject page = QJsonDocument::fromJson(result.toString().toUtf8()).object();
    if (page.isEmpty())
        return false;
    charset = page.value(QStringLiteral("charset")).toString().toStdString();
    for (const QJsonValue& f : page.value(QStringLiteral("forms")).toArray()) {
        FormOnPage form;
        form.action = f.toObject().value(QStringLiteral("action")).toString().toStdString();
        for (const QJsonValue& h : f.toObject().value(QStringLiteral("hidden")).toArray()) {
            QJsonArray pair = h.toArray();
            form.hidden.emplace_back(pair.at(0).toString().toStdString(),
                                     pair.at(1).toString().toStdString());
        }
        forms.push_back(std::move(form));
    }
    return true;
}

std::string WebEngineBrowser::PageText() {
    return RunScript(QStringLiteral("document.body ? document.body.innerText : ''"), 5000)
        .toString()
        .toStdString();
}

bool WebEngineBrowser::Busy() const {
    return !pendingFetch_.isEmpty() || tracker_.Busy(clock_.elapsed());
}

void WebEngineBrowser::Exec(BrowserCommand command) {
    switch (command) {
        case BrowserCommand::Cut:
            page_->triggerAction(QWebEnginePage::Cut);
            break;
        case BrowserCommand::Copy:
            page_->triggerAction(QWebEnginePage::Copy);
            break;
        case BrowserCommand::Paste:
            page_->triggerAction(QWebEnginePage::Paste);
            break;
        case BrowserCommand::Undo:
            page_->triggerAction(QWebEnginePage::Undo);
            break;
    }
}

QVariant WebEngineBrowser::RunScript(const QString& script, int timeoutMilliseconds) {
    QEventLoop loop;
    QPointer<QEventLoop> guard(&loop);
    QVariant result;
    bool done = false;
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [guard, &result, &done](const QVariant& value) {
                             if (!guard)
                                 return;
                             result = value;
                             done = true;
                             guard->quit();
                         });
    if (!done) {
        QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result;
}

}  // namespace quillrun
