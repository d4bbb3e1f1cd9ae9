// The program as the two-process tests start it: every message box is answered in code (Yes or
// OK) and written to standard error, so no box waits for a person.
#include <cstdio>

#include "gui/app/gui_prompter.h"
#include "gui/app/program.h"
#include "gui/text.h"

int main(int argc, char** argv) {
    using namespace quillrun;
    SetPromptHook(
        [](const std::string& text, const std::string& caption, PromptButtons buttons, PromptIcon) {
            std::fprintf(stderr, "prompt: %s: %s\n", FromCp932(caption).toUtf8().constData(),
                         FromCp932(text).toUtf8().constData());
            return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
        });
    return RunProgram(argc, argv);
}
