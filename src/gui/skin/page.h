// A page of the main window: a child widget over the frame's inner octagon, with the wallpaper
// as background and the page toolbar painted at its top.
#pragma once

#include <QWidget>

namespace quillrun {

class Page : public QWidget {
    Q_OBJECT
  public:
    explicit Page(QWidget* parent);

    // The tab whose toolbar the page shows now.
    virtual int ToolbarTab() const = 0;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillrun
