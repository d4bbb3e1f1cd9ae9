// The Task page (tab 2). Its forms and lists come with the task editing; until then the page
// shows its toolbar over the wallpaper.
#pragma once

#include "gui/skin/page.h"

namespace quillrun {

class TaskPage : public Page {
    Q_OBJECT
  public:
    explicit TaskPage(QWidget* parent);
    int ToolbarTab() const override;

    // A left press on the main window, passed on after the main window has handled it.
    void OnMainWindowLeftPress(const QPoint& position);
};

}  // namespace quillrun
