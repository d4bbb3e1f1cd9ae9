// Import and export of an event list through the file dialogs, as both pages offer them.
#pragma once

class QWidget;

namespace quillrun {

class EventList;

// "イベントのインポート先を選択してください": loads the chosen file into the list.
void ImportEventFile(QWidget* owner, EventList& list);
// "イベントのエクスポート先を選択してください": saves the list, ".evf" appended when the chosen
// path holds no ".evf" anywhere.
void ExportEventFile(QWidget* owner, const EventList& list);

}  // namespace quillrun
