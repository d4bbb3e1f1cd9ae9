// gui/cli: the command line: one parser of the arguments and one file per verb, each a thin
// call into the core.
//
// The verbs of the command line: each is a small function of its own file in this folder, over
// the core, listed once in the registry below. main() reads the arguments once and calls the
// verb they name; the desktop program is the verb of no arguments.
#pragma once

#include <memory>

#include "gui/cli/command_line.h"

class QApplication;

namespace quillrun {

// What a verb may need of the program's start: the application object, made when a verb first
// asks for it (offscreen for every verb but the desktop program's, so that no display is
// needed).
class ProgramStart {
  public:
    ProgramStart(int& argc, char** argv, bool windowless);
    ~ProgramStart();
    QApplication& Application();

  private:
    int& argc_;
    char** argv_;
    bool windowless_;
    std::unique_ptr<QApplication> application_;
};

using VerbFunction = int (*)(const CommandLine& line, ProgramStart& start);

struct Verb {
    CommandLine::Mode mode;
    // Whether it reads or writes the program folder (made when missing before it runs).
    bool usesProgramFolder;
    VerbFunction execute;
};

// The verb of a mode.
const Verb& VerbFor(CommandLine::Mode mode);

// Each verb, in the file of its name.
int HelpVerb(const CommandLine& line, ProgramStart& start);         // --help
int VersionVerb(const CommandLine& line, ProgramStart& start);      // --version
int MistakeVerb(const CommandLine& line, ProgramStart& start);      // arguments refused
int RunVerb(const CommandLine& line, ProgramStart& start);          // --run
int ExportVerb(const CommandLine& line, ProgramStart& start);       // --export-curl, --export-har
int ImportHarVerb(const CommandLine& line, ProgramStart& start);    // --import-har
int ClockVerb(const CommandLine& line, ProgramStart& start);        // --clock
int ServerClockVerb(const CommandLine& line, ProgramStart& start);  // --server-clock
int HeadlessVerb(const CommandLine& line, ProgramStart& start);     // --headless
int DesktopVerb(const CommandLine& line, ProgramStart& start);      // no verb: the window

}  // namespace quillrun
