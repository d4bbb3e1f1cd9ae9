#include "gui/app/program.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/clock_sync.h"
#include "core/platform/cp932.h"
#include "core/platform/file_privacy.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/replay/socket_sender.h"
#include "gui/app/gui_prompter.h"
#include "gui/app/main_window.h"
#include "gui/app/single_instance.h"
#include "gui/cli/command_line.h"
#include "gui/cli/verb.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace quillrun {
namespace {

int g_signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
    char byte = 1;
    ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

}  // namespace

void QuitOnEndSignals(QApplication& application) {
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [&application] {
        char byte;
        ssize_t ignored = ::read(g_signalPipe[0], &byte, 1);
        (void)ignored;
        App().ending = 1;
        application.quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &action, nullptr);
}

std::vector<std::string> StartWarnings() {
    std::vector<std::string> lines = PrivacyWarnings(App().programFolder);
    std::string clock = UnsyncedClockMessage(ReadClockSync());
    if (!clock.empty())
        lines.push_back(clock);
    return lines;
}

int RunProgram(int argc, char** argv) {
    // A server that resets a connection must not end the program: a write to it fails with
    // EPIPE (also OpenSSL's, which sends without MSG_NOSIGNAL) and the row says so.
    ::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    CommandLine commandLine = ParseCommandLine(argc, argv);
    // The program folder: --folder, else the executable's (portable) or the user's own.
    if (!commandLine.folder.empty())
        SetNativeProgramFolder(commandLine.folder);
    const Verb& verb = VerbFor(commandLine.mode);
    if (verb.usesProgramFolder && !LayOutProgramFolder(NativeProgramFolder())) {
        std::fprintf(stderr, "quillrun: cannot make the program folder %s\n",
                     NativeProgramFolder().c_str());
        return 2;
    }
    ProgramStart start(argc, argv, commandLine.mode != CommandLine::Mode::Desktop);
    return verb.execute(commandLine, start);
}

namespace {

// What a second start says of the scheduler without a window that holds the lock (it has no
// window to come back): its process, its folder and how to end it; empty for the desktop.
std::string WhoRuns() {
    SingleInstance::Holder holder = SingleInstance::LockHolder();
    if (holder.mode != QStringLiteral("headless"))
        return std::string();
    std::string pid = std::to_string(holder.pid);
    return J("\nウィンドウのないスケジューラー（quillrun --headless、pid ") + pid +
           J("、プログラムフォルダー ") + Utf8ToCp932(holder.folder.toStdString()) +
           J("）が動いています。止めるには kill ") + pid +
           J(" を実行してください（ユーザーサービスなら systemctl --user stop quillrun）。");
}

// A second start touches no file of the running one: it says so, brings the running instance
// back and ends. False when this start ends here, with its exit code.
bool TakeDesktopLocks(SingleInstance& instance, int& exitCode) {
    QString problem;
    SingleInstance::Lock lock = instance.TakeLock(&problem);
    if (lock == SingleInstance::Lock::Held) {
        ShowPrompt(nullptr, J("既に起動しています。２つ以上起動できません。") + WhoRuns(),
                   J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        SingleInstance::RestoreOtherInstance();
        exitCode = 0;
        return false;
    }
    exitCode = 1;
    if (lock == SingleInstance::Lock::Impossible) {
        ShowPrompt(nullptr,
                   J("起動の確認に使うロックを取れないため、起動を中止します: ") +
                       Utf8ToCp932(problem.toStdString()),
                   J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return false;
    }
    // Another program (started with another per-user folder) may run on this program folder.
    if (instance.TakeFolderLock(QFile::decodeName(NativeProgramFolder().c_str()), &problem) !=
        SingleInstance::Lock::Taken) {
        ShowPrompt(
            nullptr,
            J("このプログラムフォルダーでは既に別の quillrun が動いています。起動を中止します。"),
            J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return false;
    }
    instance.SayWhoHolds(QStringLiteral("desktop"),
                         QFile::decodeName(NativeProgramFolder().c_str()));
    return true;
}

// The settings, the run files and the skin; false when the settings cannot be read.
bool LoadDesktop(QApplication& application) {
    if (!LoadConfiguration(App())) {
        std::string said = UnreadableConfigurationMessage(App());
        std::fprintf(stderr, "quillrun: %s\n", Cp932ToUtf8(said).c_str());
        ShowPrompt(nullptr, said, J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return false;
    }
    PrepareRunFiles(App());
    if (!TheSkin().Create(QFile::decodeName(NativeDataFolder().c_str()))) {
        ShowPrompt(nullptr, J("オブジェクトの読み込みに失敗しました"), "Error", PromptButtons::Ok,
                   PromptIcon::Stop);
    }
    application.setWindowIcon(QIcon(QFile::decodeName(NativeDataFolder().c_str()) +
                                    QStringLiteral("object/quillrun.png")));
    return true;
}

}  // namespace

int DesktopVerb(const CommandLine& line, ProgramStart& start) {
    QApplication& application = start.Application();
    SingleInstance::SetInstanceFolder(QString::fromStdString(line.instanceFolder));
    SingleInstance instance;
    int exitCode = 0;
    if (!TakeDesktopLocks(instance, exitCode))
        return exitCode;
    instance.Listen();
    if (!LoadDesktop(application))
        return 1;

    MainWindow window;
    QRect desktop = QGuiApplication::primaryScreen()->geometry();
    window.SizeForDesktop(desktop.width(), desktop.height());
    QObject::connect(&instance, &SingleInstance::RestoreRequested, &window, [&window] {
        std::fprintf(stderr, "quillrun: shown again at a second start\n");
        window.ComeBackFromTray();
    });
    window.show();
    for (const std::string& warning : StartWarnings())
        AddMessage(warning);
    if (App().settings.StartUpInTask == 1)
        window.GoToTray();

    QuitOnEndSignals(application);
    // The end of the desktop session is a normal end too.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&window](QSessionManager&) {
                         App().ending = 1;
                         SaveAtNormalEnd(window);
                     });
    int result = application.exec();

    EndSocketReplays();
    SaveAtNormalEnd(window);
    return result;
}

bool SaveAtNormalEnd(MainWindow& window) {
    // The Task page's form goes into its task first, or a change made in it and not otherwise
    // stored would be lost from the file.
    window.StoreForms();
    if (SaveConfiguration(App()))
        return true;
    std::string said = "quillrun: the settings and tasks could not be saved to " + App().configPath;
    std::fprintf(stderr, "%s\n", Cp932ToUtf8(said).c_str());
    WriteLog(J("設定ファイル quillrun.ini を保存できませんでした"), false);
    return false;
}

}  // namespace quillrun
