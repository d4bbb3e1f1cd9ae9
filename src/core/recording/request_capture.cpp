#include "core/recording/request_capture.h"

#include "core/platform/cp932.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

constexpr std::size_t kPreviousUrlWidth = 10240;

}  // namespace

std::string RequestCapture::Fit(const std::string& text, std::size_t width, const char* what) {
    if (text.size() < width)
        return text;
    std::string cut = CutToWidth(text, width);
    if (host_.addMessage) {
        host_.addMessage(J(what) + std::to_string(text.size()) + J("バイト) を ") +
                         std::to_string(cut.size()) + J("バイトに切り詰めました"));
    }
    return cut;
}

void RequestCapture::OnBeforeNavigate(const std::string* postData) {
    if (!bodyPending_) {
        captured_.clear();
        capturedBody_ = false;
    }
    bodyPending_ = true;
    if (postData != nullptr && !postData->empty()) {
        std::string text = *postData;
        if (text.find("form-data") == std::string::npos) {
            text = text.substr(0, text.find('\0'));
        } else {
            // Every byte of a multipart body is kept, zero bytes of binary files included.
            std::string encoded = text;
            if (!PercentEncodeAll(encoded) && host_.addMessage) {
                host_.addMessage(J("送信データ (") + std::to_string(text.size()) +
                                 J("バイト) を ") + std::to_string(encoded.size() / 3) +
                                 J("バイトに切り詰めました"));
            }
            text = encoded;
        }
        captured_ = Fit(text, kDataWidth, "送信データ (");
        capturedBody_ = true;
    }
    if (host_.setAddressText)
        host_.setAddressText(J("Loading.. 読み込んでいます"));
}

void RequestCapture::OnDocumentComplete() {
    bodyPending_ = false;
    std::string location = host_.location ? host_.location() : std::string();
    if (host_.setAddressText)
        host_.setAddressText(location);

    // The event is the request the navigation made: a form answered by a redirect keeps its
    // own action and query. A fragment never reaches a server, so it is never recorded.
    std::string requested = host_.requested ? host_.requested() : std::string();
    std::string url = requested.empty() ? location : requested;
    url = url.substr(0, url.find('#'));
    bool hasQuery = false;
    bool queryMarkLast = false;
    std::size_t mark = url.find('?');
    if (capturedBody_) {
        // A POST keeps its body; a query of its action stays part of its URL.
        if (mark != std::string::npos && mark + 1 == url.size())
            url.pop_back();
    } else if (mark != std::string::npos) {
        captured_ = Fit(url.substr(mark + 1), kDataWidth, "クエリ (");
        url = url.substr(0, mark);
        hasQuery = true;
        queryMarkLast = captured_.empty();
    }
    url = CutToWidth(url, kPreviousUrlWidth);

    if (url == previousUrl_ && captured_ == previousData_ && previousRecording_)
        return;
    if (url != previousUrl_ || captured_ != previousData_) {
        if (host_.addMessage)
            host_.addMessage(J("読込完了 ") + url);
    }
    previousUrl_ = url;
    previousData_ = captured_;
    bool recording = host_.recording && host_.recording();
    previousRecording_ = recording;
    if (!recording || host_.events == nullptr)
        return;

    std::string eventUrl = Fit(url, kUrlWidth, "URL (");
    if (hasQuery && !queryMarkLast) {
        host_.events->AddEvent(kMethodGet, eventUrl, captured_);
    } else if (hasQuery) {
        host_.events->AddEvent(kMethodUrl, eventUrl, "");
    } else if (!captured_.empty()) {
        host_.events->AddEvent(kMethodPost, eventUrl, captured_);
    } else {
        host_.events->AddEvent(kMethodUrl, eventUrl, "");
    }
}

void RequestCapture::OnScriptRequest(const ScriptRequest& request) {
    if (!host_.recording || !host_.recording() || host_.events == nullptr)
        return;
    if (request.kind == "beacon" || request.kind == "websocket") {
        if (host_.addMessage)
            host_.addMessage(UnrecordedChannelMessage(request.kind, request.url));
        return;
    }
    ScriptEvent event;
    std::string why = request.why;
    if (request.kind != "request" || !ScriptRequestEvent(request, event, why)) {
        if (host_.addMessage)
            host_.addMessage(ScriptRequestNotRecordedMessage(request, why));
        return;
    }
    host_.events->AddEvent(event.method, event.url, event.data, event.headers);
    if (host_.addMessage)
        host_.addMessage(ScriptRequestRecordedMessage(request));
}

}  // namespace quillrun
