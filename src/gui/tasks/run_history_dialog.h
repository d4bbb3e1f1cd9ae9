// The run history: every run the reports tell of, the newest first (task, start, first row's
// time, outcome with the rule's verdict, tries); opening one shows its report.
#pragma once

#include <QDialog>
#include <vector>

#include "core/formats/run_history.h"

class QLabel;
class QTreeWidget;

namespace quillrun {

class RunHistoryDialog : public QDialog {
    Q_OBJECT
  public:
    explicit RunHistoryDialog(QWidget* owner = nullptr);
    QTreeWidget* runList() const { return list_; }
    // Opens the report of the run in the list's row (a dialog of its own).
    void OpenReport(int row);
    // Shows the history as a modal dialog.
    static void Run(QWidget* owner);

  private:
    QTreeWidget* list_ = nullptr;
    std::vector<RunRecord> runs_;
};

// "2026-12-09 10:00:00.012  成功（試行 1）" of a run, for the Task page's line and the tray.
QString LastRunText(const RunRecord& run);

// Shows the lines in the label, each cut to its width, and the whole text as its tip.
void ShowCutLines(QLabel* label, const QString& text);

}  // namespace quillrun
