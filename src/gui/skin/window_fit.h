// Where the program's dialogs appear: over the main window, and never beyond the screen.
#pragma once

class QWidget;

namespace quillrun {

// Centres the dialog over the main window that owns `owner` (when there is one), then moves
// it into the screen's free area (without the desktop's panels), its title bar included, so
// that its buttons can be reached on a small screen such as 800 × 600.
void CentreOverMainWindow(QWidget* dialog, QWidget* owner);

}  // namespace quillrun
