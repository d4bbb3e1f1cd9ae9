// core/config: the settings, the task list as stored, quillrun.ini and the activity log.
// Depends only on platform.
//
// The one application state: settings, program paths, the task list and the run's flags.
// Everything here is used from the user-interface thread, except the playing flag, which the
// playback reads and writes whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/config/task_list.h"

namespace quillrun {

struct Settings {
    std::string startpage;  // at most 259 bytes
    std::int32_t StartUpInTask = 0;
    std::int32_t OutputDebugTrace = 0;
    std::int32_t CGITestMode = 0;
    std::int32_t AutoIEClose = 1;
    // Optional limits of the socket sender in seconds (0: 10 s to connect, 30 s without a byte).
    // Read when the file has them, never written, so a first-run file stays as it was.
    std::int32_t SocketConnectTimeout = 0;
    std::int32_t SocketReceiveTimeout = 0;
    std::int32_t SocketRowTimeout = 0;  // a row's whole exchange, seconds; 0: 120
    std::int32_t SocketHostHeader = 0;  // 1: plain rows send Host: as TLS rows do
    // A command run after each task run (no shell; CP932 like the file), told of the run by
    // its environment. Read when present, written only when not empty.
    std::string NotifyCommand;
    std::int32_t RecordScriptRequests = 0;  // 1: the Record page records fetch()/XHR too
};

struct AppState {
    Settings settings;

    std::string programFolder;  // trailing "/"
    std::string configPath;     // programFolder + "quillrun.ini"
    std::string logPath;        // programFolder + "quillrun.log"

    TaskList tasks;

    int currentTab = 0;  // 0 browsing, 1 recording and replay, 2 Task, 3 Settings
    int recording = 0;
    std::atomic<int> playing{0};
    int modalDialog = 0;  // 1 while the request editor or the Task watch is open
    int minimized = 0;
    int standbyArmed = 0;
    int taskFired = 0;
    // 1 once a normal end (an end signal, the session's end) has begun: nothing new starts,
    // and in particular no standby.
    int ending = 0;

    // Sets the start page, cut to its width.
    void SetStartPage(const std::string& address);
};

// The application state of the running program.
AppState& App();

}  // namespace quillrun
