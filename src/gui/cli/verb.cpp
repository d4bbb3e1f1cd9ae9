#include "gui/cli/verb.h"

#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "gui/app/graphics_choice.h"
#include "gui/app/qt_translations.h"

namespace quillrun {

ProgramStart::ProgramStart(int& argc, char** argv, bool windowless)
    : argc_(argc), argv_(argv), windowless_(windowless) {}

ProgramStart::~ProgramStart() = default;

QApplication& ProgramStart::Application() {
    if (application_)
        return *application_;
    if (windowless_)
        qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed
    // The browser engine refuses to run as root with its sandbox on.
    if (::geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        std::fprintf(stderr, "quillrun: running as root: the browser's sandbox is off\n");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    application_ = std::make_unique<QApplication>(argc_, argv_);
    application_->setQuitOnLastWindowClosed(true);
    LoadQtTranslations(*application_);
    ChooseBrowserDrawing();
    return *application_;
}

const Verb& VerbFor(CommandLine::Mode mode) {
    using Mode = CommandLine::Mode;
    static const Verb kVerbs[] = {
        {Mode::Desktop, true, DesktopVerb},          {Mode::Help, false, HelpVerb},
        {Mode::Version, false, VersionVerb},         {Mode::Run, true, RunVerb},
        {Mode::Headless, true, HeadlessVerb},        {Mode::Clock, false, ClockVerb},
        {Mode::ServerClock, false, ServerClockVerb}, {Mode::ExportCurl, true, ExportVerb},
        {Mode::ExportHar, true, ExportVerb},         {Mode::ImportHar, true, ImportHarVerb},
        {Mode::Error, false, MistakeVerb},
    };
    for (const Verb& verb : kVerbs) {
        if (verb.mode == mode)
            return verb;
    }
    return kVerbs[sizeof kVerbs / sizeof kVerbs[0] - 1];
}

}  // namespace quillrun
