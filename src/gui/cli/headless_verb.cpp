// --headless: the scheduler and both replay engines with no window. One instance with the
// desktop program (either refuses while the other runs), the run files prepared as at a desktop
// start, messages on standard error, SIGTERM a normal end.
#include <QApplication>
#include <QFile>
#include <cstdio>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/replay/socket_sender.h"
#include "gui/app/headless.h"
#include "gui/app/program.h"
#include "gui/app/single_instance.h"
#include "gui/cli/verb.h"

namespace quillrun {
namespace {

// The per-user lock and the program folder's; false (said on stderr) when another has one.
bool TakeLocks(SingleInstance& instance) {
    QString problem;
    switch (instance.TakeLock(&problem)) {
        case SingleInstance::Lock::Held: {
            SingleInstance::Holder holder = SingleInstance::LockHolder();
            std::fprintf(stderr, "quillrun: already running for this user%s; --headless ends\n",
                         holder.mode.isEmpty() ? ""
                                               : (" (" + holder.mode.toStdString() + ", pid " +
                                                  std::to_string(holder.pid) + ", " +
                                                  holder.folder.toStdString() + ")")
                                                     .c_str());
            return false;
        }
        case SingleInstance::Lock::Impossible:
            std::fprintf(stderr,
                         "quillrun: the per-user lock cannot be taken (%s); --headless ends\n",
                         problem.toLocal8Bit().constData());
            return false;
        case SingleInstance::Lock::Taken:
            break;
    }
    if (instance.TakeFolderLock(QFile::decodeName(NativeProgramFolder().c_str()), &problem) !=
        SingleInstance::Lock::Taken) {
        std::fprintf(stderr,
                     "quillrun: another quillrun uses this program folder%s; --headless ends\n",
                     problem.isEmpty() ? "" : (" (" + problem.toStdString() + ")").c_str());
        return false;
    }
    instance.SayWhoHolds(QStringLiteral("headless"),
                         QFile::decodeName(NativeProgramFolder().c_str()));
    return true;
}

}  // namespace

int HeadlessVerb(const CommandLine& line, ProgramStart& start) {
    QApplication& application = start.Application();
    SingleInstance::SetInstanceFolder(QString::fromStdString(line.instanceFolder));
    SingleInstance instance;
    if (!TakeLocks(instance))
        return 1;
    if (!LoadConfiguration(App())) {
        std::fprintf(stderr, "quillrun: %s\n",
                     Cp932ToUtf8(UnreadableConfigurationMessage(App())).c_str());
        return 1;
    }
    PrepareRunFiles(App());
    SetMessageSink([](const std::string& text) {
        std::fprintf(stderr, "%s %s\n", MessageTimeText().c_str(), Cp932ToUtf8(text).c_str());
    });
    for (const std::string& warning : StartWarnings())
        AddMessage(warning);
    int result = 0;
    {
        HeadlessProgram program;
        application.setQuitOnLastWindowClosed(false);
        QuitOnEndSignals(application);
        std::fprintf(stderr, "quillrun: running %d task(s) without a window\n",
                     App().tasks.Count());
        result = application.exec();
    }
    EndSocketReplays();
    SetMessageSink(nullptr);
    if (!SaveConfiguration(App())) {
        std::fprintf(stderr, "quillrun: the settings and tasks could not be saved\n");
        WriteLog(J("設定ファイル quillrun.ini を保存できませんでした"), false);
    }
    return result;
}

}  // namespace quillrun
