// Carries out a SET event's plan on the page in the browser, in the application's own world:
// values, then clicks, then the submit, once the elements it names are there (up to 10 s).
#pragma once

#include <QString>

#include "core/replay/form_action.h"

namespace quillrun {

class WebEngineBrowser;

// The script that carries the plan out (texts are CP932); it returns the steps whose element
// the page lacks. With probeOnly it only looks.
QString FormActionScript(const FormActionPlan& plan, bool probeOnly = false);

class WebDomAutomation : public DomAutomation {
  public:
    explicit WebDomAutomation(WebEngineBrowser& browser) : browser_(browser) {}
    void Carry(const FormActionPlan& plan) override;

  private:
    WebEngineBrowser& browser_;
};

}  // namespace quillrun
