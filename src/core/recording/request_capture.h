// Request capture: turns the browser's navigation events into events of the Record page's
// list while recording, keeps the address box and the message list informed of every page.
#pragma once

#include <functional>
#include <string>

#include "core/recording/event_list.h"
#include "core/recording/script_request.h"

namespace quillrun {

class RequestCapture {
  public:
    struct Host {
        std::function<void(const std::string&)> setAddressText;  // the Record page's address box
        std::function<void(const std::string&)> addMessage;      // the message list
        std::function<std::string()> location;                   // the browser's location
        std::function<bool()> recording;                         // the recording flag
        EventList* events = nullptr;                             // the Record page's event list
        // The address the completed document's navigation asked for (a form's action, before
        // any redirect); empty or unset: the location.
        std::function<std::string()> requested;
    };

    explicit RequestCapture(Host host) : host_(std::move(host)) {}

    // A navigation starts (with the request body when it has one).
    void OnBeforeNavigate(const std::string* postData);
    // A document has completed.
    void OnDocumentComplete();
    // A request the page sent by script (reported only while such requests are recorded):
    // an event while recording, and a message-list line either way.
    void OnScriptRequest(const ScriptRequest& request);
    // Starting a recording empties the previous URL, so the first page is always taken.
    void ResetPreviousUrl() { previousUrl_.clear(); }

    const std::string& CapturedData() const { return captured_; }

  private:
    // Puts text into a fixed-width field; says so in the message list when it had to be cut.
    std::string Fit(const std::string& text, std::size_t width, const char* what);

    Host host_;
    std::string captured_;
    bool bodyPending_ = false;
    bool capturedBody_ = false;  // captured_ holds the navigation's request body
    std::string previousUrl_;
    std::string previousData_;
    bool previousRecording_ = false;
};

}  // namespace quillrun
