#include "gui/skin/page.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "core/config/app_state.h"
#include "gui/skin/skin.h"

namespace quillrun {
namespace {

constexpr int kToolbarHeight = 30;
constexpr int kBar = 14;
constexpr int kCorner = 9;  // the octagon's cut corners

}  // namespace

Page::Page(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, TheSkin().wallpaper);
    setPalette(palette);
    setFocusPolicy(Qt::ClickFocus);
}

QWidget* Page::Layer() const {
    return layer_ != nullptr ? layer_ : const_cast<Page*>(this);
}

QSize Page::LayoutSize() const {
    return size().expandedTo(kept_);
}

void Page::KeepLayoutSize(QSize size) {
    kept_ = size;
    // Transparent: the page's wallpaper shows through, and a press on no control reaches the
    // page (its toolbar) as before.
    layer_ = new QWidget(this);
    layer_->setObjectName(QStringLiteral("pageLayer"));
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w == layer_)
            continue;
        bool hidden = w->isHidden();
        QRect place = w->geometry();
        w->setParent(layer_);
        w->setGeometry(place);
        w->setVisible(!hidden);
    }
    vertical_ = new QScrollBar(Qt::Vertical, this);
    vertical_->setObjectName(QStringLiteral("pageVerticalBar"));
    horizontal_ = new QScrollBar(Qt::Horizontal, this);
    horizontal_->setObjectName(QStringLiteral("pageHorizontalBar"));
    for (QScrollBar* bar : {vertical_, horizontal_})
        connect(bar, &QScrollBar::valueChanged, this, [this] { PlaceLayer(); });
    PlaceLayer();
}

void Page::PlaceLayer() {
    if (layer_ == nullptr)
        return;
    bool across = width() > 0 && width() < kept_.width();
    bool down = height() > 0 && height() < kept_.height();
    int seenHeight = height() - kToolbarHeight - (across ? kBar : 0);
    int seenWidth = width() - (down ? kBar : 0);
    vertical_->setRange(0, down ? std::max(0, kept_.height() - kToolbarHeight - seenHeight) : 0);
    vertical_->setPageStep(std::max(1, seenHeight));
    vertical_->setSingleStep(20);
    horizontal_->setRange(0, across ? std::max(0, kept_.width() - seenWidth) : 0);
    horizontal_->setPageStep(std::max(1, seenWidth));
    horizontal_->setSingleStep(20);
    vertical_->setGeometry(width() - kCorner - kBar, kToolbarHeight + 2, kBar,
                           height() - kToolbarHeight - 2 - kCorner - (across ? kBar : 0));
    horizontal_->setGeometry(kCorner, height() - kCorner - kBar,
                             width() - 2 * kCorner - (down ? kBar : 0), kBar);
    vertical_->setVisible(down);
    horizontal_->setVisible(across);
    QSize layout = LayoutSize();
    int dx = horizontal_->value(), dy = vertical_->value();
    layer_->setGeometry(-dx, -dy, layout.width(), layout.height());
    // What scrolls never covers the toolbar or the bars, nor shows beyond them.
    if (down || across) {
        int seenRight = down ? vertical_->x() : width();
        int seenBottom = across ? horizontal_->y() : height();
        layer_->setMask(QRegion(dx, dy + kToolbarHeight, seenRight, seenBottom - kToolbarHeight));
    } else {
        layer_->clearMask();
    }
    vertical_->raise();
    horizontal_->raise();
}

void Page::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPageToolbar(painter, width(), ToolbarTab(), App().recording == 1, App().playing == 1);
}

void Page::resizeEvent(QResizeEvent*) {
    PlaceLayer();
}

void Page::wheelEvent(QWheelEvent* event) {
    if (vertical_ != nullptr && vertical_->isVisible()) {
        vertical_->setValue(vertical_->value() - event->angleDelta().y() / 2);
        event->accept();
        return;
    }
    QWidget::wheelEvent(event);
}

}  // namespace quillrun
