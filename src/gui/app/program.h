// gui/app: the program's start and end, the main window, the single instance, the scheduler
// loop and the program without a window.
//
// The program from start to end: single instance, configuration, main window, message loop, and
// the saving at a normal end. main() calls it; a test program installs its prompt answers first.
#pragma once

#include <string>
#include <vector>

class QApplication;

namespace quillrun {

class MainWindow;

// Reads the command line once and carries out the verb it names (the desktop program when it
// names none).
int RunProgram(int argc, char** argv);

// What the message list says at start: files others can read, a clock no one keeps.
std::vector<std::string> StartWarnings();

// SIGTERM, SIGINT and SIGHUP end the program normally: the message loop returns and the
// settings and task list are saved as at a closed window.
void QuitOnEndSignals(QApplication& application);

// What every normal end does (closed window, end signals, end of the desktop session): the
// Task page's form is stored into its task, then the configuration file is written.
bool SaveAtNormalEnd(MainWindow& window);

}  // namespace quillrun
