// Message boxes and file dialogs of the user interface. Tests answer them through hooks, so
// that no real modal box ever waits in a test.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "core/platform/prompts.h"

class QWidget;

namespace quillrun {

class GuiPrompter : public Prompter {
  public:
    explicit GuiPrompter(QWidget* owner = nullptr) : owner_(owner) {}
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptButtons buttons,
                     PromptIcon icon) override;

  private:
    QWidget* owner_;
};

using PromptHook = std::function<PromptAnswer(const std::string& text, const std::string& caption,
                                              PromptButtons buttons, PromptIcon icon)>;
// Replaces every message box of the program by the hook (nullptr restores real boxes).
void SetPromptHook(PromptHook hook);

// Shows a message box (or the hook), owned by owner when given.
PromptAnswer ShowPrompt(QWidget* owner, const std::string& text, const std::string& caption,
                        PromptButtons buttons, PromptIcon icon);

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString folder;
};
// Returns the chosen path, or empty when cancelled.
using FileDialogHook = std::function<QString(const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);

// The open or save dialog for event files: filters "イベントファイル (*.evf)" and
// "All Files(*.*)", starting in folder. Empty when cancelled.
QString AskEventFilePath(QWidget* owner, bool save, const QString& title, const QString& folder);

}  // namespace quillrun
