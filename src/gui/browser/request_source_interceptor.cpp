#include "gui/browser/request_source_interceptor.h"

namespace quillrun {
namespace {

// The address with every escape undone, so that the row's address and the engine's request
// compare equal however each of them escapes its characters.
QString Comparable(const QUrl& url) {
    return QUrl::fromPercentEncoding(url.adjusted(QUrl::RemoveFragment).toEncoded());
}

}  // namespace

void RequestSourceInterceptor::Expect(const QUrl& url, const QByteArray& method,
                                      const QByteArray& origin, const QByteArray& referrer) {
    pending_ = true;
    url_ = url;
    method_ = method;
    origin_ = origin;
    referrer_ = referrer;
}

void RequestSourceInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!pending_ || info.requestMethod() != method_ ||
        Comparable(info.requestUrl()) != Comparable(url_))
        return;
    pending_ = false;
    if (!origin_.isEmpty())
        info.setHttpHeader(QByteArrayLiteral("Origin"), origin_);
    if (!referrer_.isEmpty())
        info.setHttpHeader(QByteArrayLiteral("Referer"), referrer_);
}

}  // namespace quillrun
