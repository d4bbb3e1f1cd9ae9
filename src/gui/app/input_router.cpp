#include "gui/app/input_router.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

#include "gui/recording/method_list_view.h"
#include "gui/recording/record_page.h"

namespace quillrun {
namespace {

// The list a widget belongs to: the list itself or its viewport.
bool IsOrInside(QObject* watched, QObject* list) {
    return list != nullptr && (watched == list || watched->parent() == list);
}

// The area of a list's rows: a press on its header (to size a column) is no press on the list.
bool IsRowArea(QObject* watched, QObject* list) {
    auto* area = qobject_cast<QAbstractScrollArea*>(list);
    return area != nullptr && watched == area->viewport();
}

}  // namespace

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType())
        return false;
    QWidget* focus = QApplication::focusWidget();
    QObject* recordList = recordPage ? recordPage->eventList() : nullptr;

    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (recordPage && watched == recordPage->addressBox() &&
                focus == recordPage->addressBox()) {
                recordPage->OnAddressEnter();
                return false;
            }
            if (IsOrInside(watched, recordList)) {
                recordPage->EditFocusedEvent();
                return true;
            }
            if (IsOrInside(watched, taskEventList) && taskEdit) {
                taskEdit();
                return true;
            }
        } else if (key->key() == Qt::Key_Delete && watched == focus) {
            if (IsOrInside(focus, recordList)) {
                recordPage->DeleteFocusedEvent();
                return true;
            }
            if ((IsOrInside(focus, taskEventList) || IsOrInside(focus, taskListBox)) &&
                taskDelete) {
                taskDelete();
                return true;
            }
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (IsRowArea(watched, recordList)) {
                recordPage->EditFocusedEvent();
            } else if (IsRowArea(watched, taskEventList) && taskEdit) {
                taskEdit();
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton &&
            ((mouse->modifiers() | QGuiApplication::queryKeyboardModifiers()) &
             Qt::ControlModifier) &&
            openTaskWatch) {
            openTaskWatch();
            return true;
        }
    }
    return false;
}

}  // namespace quillrun
