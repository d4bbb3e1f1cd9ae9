#include "gui/skin/page.h"

#include <QPainter>

#include "core/config/app_state.h"
#include "gui/skin/skin.h"

namespace quillrun {

Page::Page(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, TheSkin().wallpaper);
    setPalette(palette);
    setFocusPolicy(Qt::ClickFocus);
}

void Page::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPageToolbar(painter, width(), ToolbarTab(), App().recording == 1, App().playing == 1);
}

}  // namespace quillrun
