#include "gui/tasks/task_page.h"

#include "core/skin/skin_geometry.h"

namespace quillrun {

TaskPage::TaskPage(QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TaskPage"));
}

int TaskPage::ToolbarTab() const {
    return kTabTask;
}

void TaskPage::OnMainWindowLeftPress(const QPoint&) {}

}  // namespace quillrun
