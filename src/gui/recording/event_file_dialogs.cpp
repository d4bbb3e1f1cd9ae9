#include "gui/recording/event_file_dialogs.h"

#include "core/platform/cp932.h"
#include "core/platform/paths.h"
#include "core/recording/event_list.h"
#include "gui/app/gui_prompter.h"
#include "gui/text.h"

namespace quillrun {

void ImportEventFile(QWidget* owner, EventList& list) {
    QString path = AskEventFilePath(owner, false,
                                    QString::fromUtf8("イベントのインポート先を選択してください"),
                                    FromCp932(ProgramFolder()));
    if (path.isEmpty())
        return;
    list.LoadEventFile(CutToWidth(ToCp932(path), kPathWidth));
}

void ExportEventFile(QWidget* owner, const EventList& list) {
    QString path = AskEventFilePath(owner, true,
                                    QString::fromUtf8("イベントのエクスポート先を選択してください"),
                                    FromCp932(ProgramFolder()));
    if (path.isEmpty())
        return;
    std::string file = CutToWidth(ToCp932(path), kPathWidth);
    if (file.find(".evf") == std::string::npos)
        file = CutToWidth(file, kPathWidth - 4) + ".evf";
    list.SaveEventFile(file);
}

}  // namespace quillrun
