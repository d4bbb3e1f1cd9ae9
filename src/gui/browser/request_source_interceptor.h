// Sends the replay's own requests as the page they come from would: the Origin and Referer of
// that page on the one request the replay announced (a load the program starts itself has no
// page as its initiator, so the engine would send "Origin: null" and no Referer).
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

namespace quillrun {

class RequestSourceInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    // The next request to `url` with `method` takes these headers (an empty one is left as the
    // engine has it); an announcement not yet taken is dropped.
    void Expect(const QUrl& url, const QByteArray& method, const QByteArray& origin,
                const QByteArray& referrer);
    void Forget() { pending_ = false; }
    // Called by the engine on the user-interface thread for each request of the page.
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

  private:
    bool pending_ = false;
    QUrl url_;
    QByteArray method_, origin_, referrer_;
};

}  // namespace quillrun
