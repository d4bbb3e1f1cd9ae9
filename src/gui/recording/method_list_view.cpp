#include "gui/recording/method_list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QMetaObject>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {

MethodListView::MethodListView(QWidget* parent, int id) : QTreeWidget(parent), id_(id) {
    setObjectName(QStringLiteral("METHOD_LISTVIEW"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFrameShape(QFrame::Box);
    setColumnCount(0);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft);
    setFont(TheSkin().normalFont);
}

void MethodListView::InsertColumn(const QString& title, int width) {
    setColumnCount(columns_ + 1);
    headerItem()->setText(columns_, title);
    setColumnWidth(columns_, width);
    ++columns_;
}

void MethodListView::InitEventColumns(EventList* events) {
    InsertColumn(QString::fromUtf8("番号"), 60);
    InsertColumn(QString::fromUtf8("メソッド"), 60);
    InsertColumn(QString::fromUtf8("データ"), 480);
    events_ = events;
    events_->SetChangeListener([this] { Refresh(); });
    events_->AppendEmptyPair();
}

void MethodListView::InitWatchColumns(EventList* events) {
    InsertColumn(QString::fromUtf8("番号"), 60);
    InsertColumn(QString::fromUtf8("メソッド"), 60);
    InsertColumn(QString::fromUtf8("データ"), 400);
    events_ = events;
    events_->SetChangeListener([this] { Refresh(); });
    Refresh();
}

void MethodListView::InitMessageColumns() {
    InsertColumn(QString::fromUtf8("時間"), 120);
    InsertColumn(QString::fromUtf8("メッセージ"), 480);
}

void MethodListView::FitToParent(QWidget* parent) {
    int w = parent->width();
    int h = parent->height();
    setGeometry(x(), h - 100, w - 50, 80);
    show();
    setColumnWidth(columns_ == 2 ? 1 : 2, w - 170);
}

void MethodListView::AppendRow(const QStringList& cells) {
    auto* item = new QTreeWidgetItem(this, cells);
    (void)item;
}

void MethodListView::AddMessage(const std::string& text) {
    QString time = FromCp932(MessageTimeText());
    QString message = FromCp932(text);
    PostRow(QPointer<MethodListView>(this), time, message);
}

void MethodListView::PostRow(QPointer<MethodListView> list, const QString& time,
                             const QString& message) {
    // Queued to the application object, which outlives every list: a list that is gone by
    // the time the row arrives simply gets nothing.
    QMetaObject::invokeMethod(
        qApp,
        [list, time, message] {
            if (list)
                list->AppendRow({time, message});
        },
        Qt::QueuedConnection);
}

MessageSink MethodListView::SinkFor(MethodListView* list) {
    QPointer<MethodListView> target(list);
    return [target](const std::string& text) {
        PostRow(target, FromCp932(MessageTimeText()), FromCp932(text));
    };
}

int MethodListView::FocusRow() const {
    QTreeWidgetItem* item = currentItem();
    return item ? indexOfTopLevelItem(item) : -1;
}

void MethodListView::SetFocusRow(int row) {
    setCurrentItem(topLevelItem(row));
}

void MethodListView::Refresh() {
    if (events_ == nullptr)
        return;
    int focus = FocusRow();
    setUpdatesEnabled(false);
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(events_->RowCount());
    for (int r = 0; r < events_->RowCount(); ++r) {
        const EventList::Row& row = events_->RowAt(r);
        items.append(new QTreeWidgetItem(
            QStringList{FromCp932(row[0]), FromCp932(row[1]), FromCp932(row[2])}));
    }
    addTopLevelItems(items);
    if (focus >= 0 && focus < topLevelItemCount())
        SetFocusRow(focus);
    setUpdatesEnabled(true);
}

}  // namespace quillrun
