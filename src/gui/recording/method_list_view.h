// A report-style list: the event lists (over a core EventList, two rows per event) and the
// message list (time-stamped rows, added from any thread).
#pragma once

#include <QPointer>
#include <QTreeWidget>
#include <string>

#include "core/platform/message_sink.h"
#include "core/recording/event_list.h"

namespace quillrun {

class MethodListView : public QTreeWidget {
    Q_OBJECT
  public:
    MethodListView(QWidget* parent, int id);

    int Id() const { return id_; }
    void InsertColumn(const QString& title, int width);
    // "番号" 60, "メソッド" 60, "データ" 480; shows `events`, which gets its empty pair.
    void InitEventColumns(EventList* events);
    // "番号" 60, "メソッド" 60, "データ" 400; shows `events` as they are.
    void InitWatchColumns(EventList* events);
    // "時間" 120, "メッセージ" 480.
    void InitMessageColumns();

    // x stays, y = H - 100, width W - 50, height 80 of the parent's size; the last column gets
    // width W - 170.
    void FitToParent(QWidget* parent);

    // Appends "YYYY-MM-DD hh:mm" and text (CP932). Safe from any thread while the list exists.
    void AddMessage(const std::string& text);
    // A message sink for the core's AddMessage that any thread may call, also after the list
    // is gone (made on the user-interface thread).
    static MessageSink SinkFor(MethodListView* list);

    // The row that has the focus, or -1.
    int FocusRow() const;
    void SetFocusRow(int row);

    EventList* Events() const { return events_; }
    // Shows the event rows again.
    void Refresh();

  private:
    void AppendRow(const QStringList& cells);
    static void PostRow(QPointer<MethodListView> list, const QString& time, const QString& message);

    int id_;
    int columns_ = 0;
    EventList* events_ = nullptr;
};

}  // namespace quillrun
