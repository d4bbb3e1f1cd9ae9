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
#include "core/platform/paths.h"
#include "core/recording/message_sink.h"
#include "core/replay/socket_sender.h"
#include "gui/app/command_line.h"
#include "gui/app/graphics_choice.h"
#include "gui/app/gui_prompter.h"
#include "gui/app/headless.h"
#include "gui/app/main_window.h"
#include "gui/app/single_instance.h"
#include "gui/skin/skin.h"
#include "gui/text.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
    char byte = 1;
    ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

// SIGTERM, SIGINT and SIGHUP end the program normally: the message loop returns and the
// settings and task list are saved as at a closed window.
void QuitOnEndSignals(QApplication& application) {
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [&application] {
        char byte;
        ssize_t ignored = ::read(g_signalPipe[0], &byte, 1);
        (void)ignored;
        quillrun::App().ending = 1;
        application.quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &action, nullptr);
}

}  // namespace

namespace quillrun {

namespace {

// What the message list says at start: files others can read, a clock no one keeps.
std::vector<std::string> StartWarnings() {
    std::vector<std::string> lines = PrivacyWarnings(App().programFolder);
    std::string clock = UnsyncedClockMessage(ReadClockSync());
    if (!clock.empty())
        lines.push_back(clock);
    return lines;
}

// --headless: one instance with the desktop program (either refuses while the other runs), the
// run files prepared as at a desktop start, messages on standard error, SIGTERM a normal end.
int RunHeadless(QApplication& application, SingleInstance& instance) {
    QString problem;
    switch (instance.TakeLock(&problem)) {
        case SingleInstance::Lock::Held:
            std::fprintf(stderr, "quillrun: already running for this user; --headless ends\n");
            return 1;
        case SingleInstance::Lock::Impossible:
            std::fprintf(stderr,
                         "quillrun: the per-user lock cannot be taken (%s); --headless ends\n",
                         problem.toLocal8Bit().constData());
            return 1;
        case SingleInstance::Lock::Taken:
            break;
    }
    if (instance.TakeFolderLock(QFile::decodeName(NativeProgramFolder().c_str()), &problem) !=
        SingleInstance::Lock::Taken) {
        std::fprintf(stderr,
                     "quillrun: another quillrun uses this program folder%s; --headless ends\n",
                     problem.isEmpty() ? "" : (" (" + problem.toStdString() + ")").c_str());
        return 1;
    }
    if (!LoadConfiguration(App())) {
        std::fprintf(stderr, "quillrun: %s\n",
                     Cp932ToUtf8(UnreadableConfigurationMessage(App())).c_str());
        return 1;
    }
    PrepareRunFiles(App());
    SetMessageSink([](const std::string& text) {
        std::fprintf(stderr, "%s %s\n", MessageTimeText().c_str(), Cp932ToUtf8(text).c_str());
    });
    for (const std::string& line : StartWarnings())
        AddMessage(line);
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

}  // namespace

int RunProgram(int argc, char** argv) {
    // A server that resets a connection must not end the program: a write to it fails with
    // EPIPE (also OpenSSL's, which sends without MSG_NOSIGNAL) and the row says so.
    ::signal(SIGPIPE, SIG_IGN);
    CommandLine commandLine = ParseCommandLine(argc, argv);
    // The program folder: --folder, else the executable's (portable) or the user's own.
    if (!commandLine.folder.empty())
        SetNativeProgramFolder(commandLine.folder);
    bool usesFolder = commandLine.mode != CommandLine::Mode::Help &&
                      commandLine.mode != CommandLine::Mode::Version &&
                      commandLine.mode != CommandLine::Mode::Error &&
                      commandLine.mode != CommandLine::Mode::Clock &&
                      commandLine.mode != CommandLine::Mode::ServerClock;
    if (usesFolder && !LayOutProgramFolder(NativeProgramFolder())) {
        std::fprintf(stderr, "quillrun: cannot make the program folder %s\n",
                     NativeProgramFolder().c_str());
        return 2;
    }
    switch (commandLine.mode) {
        case CommandLine::Mode::Help:
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        case CommandLine::Mode::Version:
            std::printf("quillrun %s\n", QUILLRUN_VERSION);
            return 0;
        case CommandLine::Mode::Error:
            std::fprintf(stderr, "quillrun: %s\n", commandLine.error.c_str());
            return 2;
        case CommandLine::Mode::Run:
            if (!commandLine.browser)
                return RunEventFileNow(commandLine.eventFile, commandLine.at,
                                       commandLine.preconnect, commandLine.settings,
                                       commandLine.junitPath);
            break;
        case CommandLine::Mode::ExportCurl:
        case CommandLine::Mode::ExportHar:
            return ExportEventFile(commandLine.eventFile,
                                   commandLine.mode == CommandLine::Mode::ExportHar,
                                   commandLine.outputPath);
        case CommandLine::Mode::ImportHar:
            return ImportHarFile(commandLine.eventFile, commandLine.hosts, commandLine.outputPath);
        case CommandLine::Mode::Clock:
            return PrintClockState();
        case CommandLine::Mode::ServerClock:
            return PrintServerClock(commandLine.url);
        case CommandLine::Mode::Headless:
        case CommandLine::Mode::Desktop:
            break;
    }
    bool windowless = commandLine.mode != CommandLine::Mode::Desktop;
    if (windowless)
        qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed
    // The browser engine refuses to run as root with its sandbox on.
    if (::geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        std::fprintf(stderr, "quillrun: running as root: the browser's sandbox is off\n");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(true);
    ChooseBrowserDrawing();
    if (commandLine.mode == CommandLine::Mode::Run)
        return RunEventFileInBrowser(commandLine.eventFile, commandLine.at, commandLine.settings,
                                     commandLine.junitPath);

    // A second start touches no file of the running one: it says so, brings the running
    // instance back and ends.
    SingleInstance::SetInstanceFolder(QString::fromStdString(commandLine.instanceFolder));
    SingleInstance instance;
    if (commandLine.mode == CommandLine::Mode::Headless)
        return RunHeadless(application, instance);
    QString problem;
    SingleInstance::Lock lock = instance.TakeLock(&problem);
    if (lock == SingleInstance::Lock::Held) {
        ShowPrompt(nullptr, J("既に起動しています。２つ以上起動できません。"), J("処理中断"),
                   PromptButtons::Ok, PromptIcon::Stop);
        SingleInstance::RestoreOtherInstance();
        return 0;
    }
    if (lock == SingleInstance::Lock::Impossible) {
        ShowPrompt(nullptr,
                   J("起動の確認に使うロックを取れないため、起動を中止します: ") +
                       Utf8ToCp932(problem.toStdString()),
                   J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return 1;
    }
    // Another program (started with another per-user folder) may run on this program folder.
    if (instance.TakeFolderLock(QFile::decodeName(NativeProgramFolder().c_str()), &problem) !=
        SingleInstance::Lock::Taken) {
        ShowPrompt(
            nullptr,
            J("このプログラムフォルダーでは既に別の quillrun が動いています。起動を中止します。"),
            J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return 1;
    }
    instance.Listen();

    if (!LoadConfiguration(App())) {
        std::string said = UnreadableConfigurationMessage(App());
        std::fprintf(stderr, "quillrun: %s\n", Cp932ToUtf8(said).c_str());
        ShowPrompt(nullptr, said, J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
        return 1;
    }
    PrepareRunFiles(App());
    if (!TheSkin().Create(QFile::decodeName(NativeDataFolder().c_str()))) {
        ShowPrompt(nullptr, J("オブジェクトの読み込みに失敗しました"), "Error", PromptButtons::Ok,
                   PromptIcon::Stop);
    }
    application.setWindowIcon(QIcon(QFile::decodeName(NativeDataFolder().c_str()) +
                                    QStringLiteral("object/quillrun.png")));

    MainWindow window;
    QRect desktop = QGuiApplication::primaryScreen()->geometry();
    window.SizeForDesktop(desktop.width(), desktop.height());
    QObject::connect(&instance, &SingleInstance::RestoreRequested, &window, [&window] {
        std::fprintf(stderr, "quillrun: shown again at a second start\n");
        window.ComeBackFromTray();
    });
    window.show();
    for (const std::string& line : StartWarnings())
        AddMessage(line);
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
