// --run FILE [--browser] [--at TIME]: one event file replayed now (or at a moment) by the socket
// sender or the browser engine offscreen, one line per row on stdout.
#pragma once

#include <functional>
#include <string>

#include "core/formats/run_report.h"
#include "core/replay/socket_sender.h"
#include "core/replay/success_rule.h"
#include "core/tasks/moment_text.h"
#include "gui/cli/command_line.h"

namespace quillrun {

// Replays a file (Shift_JIS path) telling the observer of every row; with a moment, its row (the
// first that sends, or the moment row) is made ready ahead and sent at it. Rows before
// `fromRow` (from 1) are not sent: a retry goes from the moment row.
using EventFileReplay = std::function<void(const std::string& path, const RowObserver& observer,
                                           const FirstRequestMoment* moment, int fromRow)>;
// What --run does around its engine: the file checked, the program folder's settings read,
// message-list lines on stderr, one line per row on stdout; the exit code as below. With a
// moment (--at), the moment asked and the moment the first byte was written are printed; a
// moment that passed less than 10 minutes ago is refused unless --late-ok (then the request
// goes at once and the line says how late). The settings' rule judges each try and the retry
// window runs failed tries again (waiting with `wait`); with --junit, the tries are written
// there as a JUnit XML report.
int RunEventFile(const CommandLine& line, const EventFileReplay& replay,
                 const std::function<bool(long long)>& wait = nullptr);

// --run FILE [--at TIME]: replays the event file through the socket sender with the program
// folder's settings, cookies and response files, prints one line per row and returns the exit
// code: 0 when every row got a 2xx or 3xx status, 1 when a row failed, 2 when the file cannot
// be read or the moment is refused.
int RunEventFileNow(const CommandLine& line);

// --run FILE --browser [--at TIME]: needs the application object; returns the exit code as
// --run does. With a moment, the first row's navigation starts at it.
int RunEventFileInBrowser(const CommandLine& line);

}  // namespace quillrun
