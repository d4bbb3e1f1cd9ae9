// SET events: the pending form action that a SET row arms and the next completed document
// carries out, and the SET text that says what to fill, click and submit.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

constexpr int kFormActionArmed = 90;
constexpr std::size_t kFormActionDataWidth = 10240;

// The slot of the pending action (the current request's method field doubles as its marker).
struct PendingFormAction {
    int marker = 0;
    std::string url;   // "submit=" + submit text, at most 259 bytes
    std::string data;  // "input=...click=...", at most 10239 bytes
};

PendingFormAction& ThePendingFormAction();

// Arms the action; arming again before the next completed document replaces it.
void ArmFormAction(const std::string& url, const std::string& data);

// What a SET text asks for, in the order it is carried out: every value (the fixed "tindrel" =
// "yes" first), then every click, then the submit.
struct FormActionPlan {
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> clicks;
    bool submit = false;
    std::string submitText;
};

// False when the data lacks "input=" or "click=" (the action then stays armed).
bool ParseSetText(const std::string& url, const std::string& data, FormActionPlan& plan);

// The document operations the automation uses.
class DomAutomation {
  public:
    virtual ~DomAutomation() = default;
    virtual void Carry(const FormActionPlan& plan) = 0;
};

// On every completed document: carries out an armed action and clears the marker.
void RunPendingFormAction(DomAutomation& dom);

// Steps of a form action that could not be carried out (an element that never appeared): the
// automation notes them, the replay takes them into its report and counts the run as failed.
void NoteFormActionFailure(const std::string& text);
std::vector<std::string> TakeFormActionFailures();

}  // namespace quillrun
