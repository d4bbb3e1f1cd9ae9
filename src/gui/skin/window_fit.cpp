#include "gui/skin/window_fit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quillrun {

void CentreOverMainWindow(QWidget* dialog, QWidget* owner) {
    QScreen* screen = dialog->screen();
    if (owner != nullptr) {
        QWidget* main = owner->window();
        while (main->parentWidget() != nullptr)
            main = main->parentWidget()->window();
        QRect m = main->frameGeometry();
        dialog->move(m.left() + (m.width() - dialog->width()) / 2,
                     m.top() + (m.height() - dialog->height()) / 2);
        screen = main->screen();
    }
    if (screen == nullptr)
        return;
    // A window's position is its frame's; the frame is not known before the dialog is shown,
    // so a usual title bar is allowed for below it.
    constexpr int kTitleBar = 32;
    QRect free = screen->availableGeometry();
    int x = std::min(dialog->x(), free.right() + 1 - dialog->width());
    int y = std::min(dialog->y(), free.bottom() + 1 - dialog->height() - kTitleBar);
    dialog->move(std::max(x, free.left()), std::max(y, free.top()));
}

}  // namespace quillrun
