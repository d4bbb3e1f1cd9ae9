// Message boxes as the core asks for them. The GUI shows real boxes; tests answer them.
#pragma once

#include <string>

namespace quillrun {

enum class PromptIcon { None, Stop, Exclamation, Question, Information };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

class Prompter {
  public:
    virtual ~Prompter() = default;
    // text and caption are CP932.
    virtual PromptAnswer Ask(const std::string& text, const std::string& caption,
                             PromptButtons buttons, PromptIcon icon) = 0;
};

}  // namespace quillrun
