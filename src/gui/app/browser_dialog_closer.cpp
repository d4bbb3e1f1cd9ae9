#include "gui/app/browser_dialog_closer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace quillrun {

QWidget* FindBrowserDialog() {
    const QString titles[] = {QStringLiteral("Microsoft Internet Explorer"),
                              QStringLiteral("Internet Explorer"),
                              QString::fromUtf8("Internet Explorer スクリプト エラー")};
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QString& title : titles) {
        for (QWidget* w : windows) {
            if (w->isVisible() && w->windowTitle() == title)
                return w;
        }
    }
    return nullptr;
}

QWidget* CloseBrowserDialog(int autoIEClose) {
    QWidget* box = FindBrowserDialog();
    if (box == nullptr || autoIEClose == 0)
        return nullptr;
    if (box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty())
        return nullptr;
    QCoreApplication::postEvent(box,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    return box;
}

}  // namespace quillrun
