// Carries out a SET event's plan on the page in the browser, in one script run in the
// application's own world: values, then clicks, then the submit.
#pragma once

#include <QString>

#include "core/replay/form_action.h"

namespace quillrun {

class WebEngineBrowser;

// The script that carries the plan out (texts are CP932).
QString FormActionScript(const FormActionPlan& plan);

class WebDomAutomation : public DomAutomation {
  public:
    explicit WebDomAutomation(WebEngineBrowser& browser) : browser_(browser) {}
    void Carry(const FormActionPlan& plan) override;

  private:
    WebEngineBrowser& browser_;
};

}  // namespace quillrun
