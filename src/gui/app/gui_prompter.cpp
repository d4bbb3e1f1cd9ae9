#include "gui/app/gui_prompter.h"

#include <QFileDialog>
#include <QMessageBox>

#include "gui/text.h"

namespace quillrun {
namespace {

PromptHook& Hook() {
    static PromptHook hook;
    return hook;
}

FileDialogHook& FileHook() {
    static FileDialogHook hook;
    return hook;
}

}  // namespace

void SetPromptHook(PromptHook hook) {
    Hook() = std::move(hook);
}

void SetFileDialogHook(FileDialogHook hook) {
    FileHook() = std::move(hook);
}

PromptAnswer GuiPrompter::Ask(const std::string& text, const std::string& caption,
                              PromptButtons buttons, PromptIcon icon) {
    return ShowPrompt(owner_, text, caption, buttons, icon);
}

PromptAnswer ShowPrompt(QWidget* owner, const std::string& text, const std::string& caption,
                        PromptButtons buttons, PromptIcon icon) {
    if (Hook())
        return Hook()(text, caption, buttons, icon);
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
        case PromptIcon::Stop:
            boxIcon = QMessageBox::Critical;
            break;
        case PromptIcon::Exclamation:
            boxIcon = QMessageBox::Warning;
            break;
        case PromptIcon::Question:
            boxIcon = QMessageBox::Question;
            break;
        case PromptIcon::Information:
            boxIcon = QMessageBox::Information;
            break;
        case PromptIcon::None:
            break;
    }
    QMessageBox box(
        boxIcon, FromCp932(caption), FromCp932(text),
        buttons == PromptButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
        owner);
    int answer = box.exec();
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

QString AskEventFilePath(QWidget* owner, bool save, const QString& title, const QString& folder) {
    if (FileHook())
        return FileHook()({save, title, folder});
    QFileDialog dialog(owner, title, folder);
    dialog.setNameFilters(
        {QString::fromUtf8("イベントファイル (*.evf)"), QStringLiteral("All Files(*.*) (*)")});
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

}  // namespace quillrun
