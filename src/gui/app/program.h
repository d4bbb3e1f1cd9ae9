// The program from start to end: single instance, configuration, main window, message loop, and
// the saving at a normal end. main() calls it; a test program installs its prompt answers first.
#pragma once

namespace quillrun {

class MainWindow;

int RunProgram(int argc, char** argv);

// What every normal end does (closed window, end signals, end of the desktop session): the
// Task page's form is stored into its task, then the configuration file is written.
bool SaveAtNormalEnd(MainWindow& window);

}  // namespace quillrun
