#include "core/replay/form_action.h"

#include "core/platform/cp932.h"
#include "core/platform/paths.h"

namespace quillrun {
namespace {

constexpr std::size_t kSetNameWidth = 260;

}  // namespace

PendingFormAction& ThePendingFormAction() {
    static PendingFormAction slot;
    return slot;
}

void ArmFormAction(const std::string& url, const std::string& data) {
    PendingFormAction& slot = ThePendingFormAction();
    slot.marker = kFormActionArmed;
    slot.url = CutToWidth(url, kPathWidth);
    slot.data = CutToWidth(data, kFormActionDataWidth);
}

bool ParseSetText(const std::string& url, const std::string& data, FormActionPlan& plan) {
    plan = FormActionPlan();
    std::size_t input = data.find("input=");
    std::size_t click = data.find("click=");
    if (input == std::string::npos || click == std::string::npos)
        return false;

    plan.values.emplace_back("tindrel", "yes");
    // The input part runs up to just after "click="; the letters of "click=" land in a buffer
    // that no "," follows, so they do nothing.
    std::string name, value;
    bool inValue = false;
    std::size_t inputEnd = click + 6;
    for (std::size_t i = input + 6; i < inputEnd && i < data.size(); ++i) {
        char c = data[i];
        if (c == ':') {
            inValue = true;
            value.clear();  // a second ":" starts the value again
        } else if (c == ',') {
            plan.values.emplace_back(CutToWidth(name, kSetNameWidth),
                                     CutToWidth(value, kSetNameWidth));
            name.clear();
            value.clear();
            inValue = false;
        } else {
            (inValue ? value : name) += c;
        }
    }
    name.clear();
    for (std::size_t i = click + 6; i < data.size(); ++i) {
        if (data[i] == ',') {
            plan.clicks.push_back(CutToWidth(name, kSetNameWidth));
            name.clear();
        } else {
            name += data[i];
        }
    }
    if (url.size() > 7) {
        plan.submit = true;
        plan.submitText = CutToWidth(url.substr(7), kSetNameWidth);
    }
    return true;
}

void RunPendingFormAction(DomAutomation& dom) {
    PendingFormAction& slot = ThePendingFormAction();
    if (slot.marker != kFormActionArmed)
        return;
    FormActionPlan plan;
    if (!ParseSetText(slot.url, slot.data, plan))
        return;
    dom.Carry(plan);
    slot.marker = 0;
}

namespace {

std::vector<std::string>& FormActionFailures() {
    static std::vector<std::string> failures;
    return failures;
}

}  // namespace

void NoteFormActionFailure(const std::string& text) {
    FormActionFailures().push_back(text);
}

std::vector<std::string> TakeFormActionFailures() {
    std::vector<std::string> taken;
    taken.swap(FormActionFailures());
    return taken;
}

}  // namespace quillrun
