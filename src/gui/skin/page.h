// A page of the main window: a child widget over the frame's inner octagon, with the wallpaper
// as background and the page toolbar painted at its top.
#pragma once

#include <QSize>
#include <QWidget>

class QScrollBar;

namespace quillrun {

class Page : public QWidget {
    Q_OBJECT
  public:
    explicit Page(QWidget* parent);

    // The tab whose toolbar the page shows now.
    virtual int ToolbarTab() const = 0;

    // The widget that holds the page's controls: the page, or its scrolling layer.
    QWidget* Layer() const;
    // The size the controls are laid out in: the page's, and never less than the kept size.
    QSize LayoutSize() const;
    QScrollBar* verticalBar() const { return vertical_; }

  protected:
    // For a page whose controls stand at fixed places: they move into a layer of at least
    // `size` that scrolls under the toolbar where the page is smaller (the smallest window),
    // so that every control can still be reached. Called at the end of the page's set-up.
    void KeepLayoutSize(QSize size);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void PlaceLayer();

    QSize kept_;
    QWidget* layer_ = nullptr;
    QScrollBar* vertical_ = nullptr;
    QScrollBar* horizontal_ = nullptr;
};

}  // namespace quillrun
