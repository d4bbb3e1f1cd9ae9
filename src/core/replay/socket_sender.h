// core/replay: the two replay engines (the socket sender as a row pipeline, the browser replay)
// with cookies, the guard, fresh tokens, success rules and retries. Below tasks, above the rest.
//
// The socket sender: replays an event file row by row over its own HTTP/1.0 client, with the
// cookie store, numbered response files and the duplicate-post guard; one thread per started
// Socket task, each joined at the program's normal end. The rows go through the steps of
// socket_row_steps.h; a request's exchange is socket_exchange.h's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/formats/run_report.h"
#include "core/platform/clock.h"
#include "core/replay/socket_exchange.h"
#include "core/replay/socket_options.h"
#include "core/replay/success_rule.h"

namespace quillrun {

struct SocketRequest {
    std::string method;  // "GET", "URL", "POST"; "PUT", "PATCH", "DELETE" of script rows
    std::string path;
    std::string data;    // body or query, multipart bodies already decoded
    std::string cookie;  // cookie text, may be empty
    std::string host;    // the Host header's value; only TLS rows send one
    // "Basic ..." for a URL with user information; written after Host, never logged.
    std::string authorization;
    int contentLength = 0;
    std::string headers;  // a script row's own headers (event line field), may be empty
};

// The request text, byte for byte. A script row's request is laid out like a POST, with its
// method and its body as it stands; its headers follow the sender's own, and its Content-Type
// takes the place of the sender's.
std::string FormatSocketRequest(const SocketRequest& request);

// The name of response file n: program folder + "response/" + n + "_response.txt".
std::string ResponseFilePath(int n);
// Stores a response under the first free number; with 0 to 100 taken, those are deleted and
// the response becomes number 0.
void StoreResponse(const std::string& response);

// When a run's first request is written: not before `at`, with its connection opened ahead
// when asked. `written` hears when the first byte went (or, for a run that ended before its
// first request, nothing).
struct FirstRequestMoment {
    LocalTime at;
    bool connectAhead = true;
    SentHook written;
    // The row written at the moment, counted from 1 (1: the first row that sends, as ever). The
    // rows before it are lead rows: sent at once, with their pauses, so that they end before the
    // moment; when one of them failed, the run ends before the moment row and says which.
    int momentRow = 1;
    // The moment row's request is written by the moment writer (with the TCP exchange): the
    // run's thread sleeps until shortly before the moment and hands it over.
    bool sharedWriter = false;
};

// The waits of the sender's threads: until the moment (false when the program ends meanwhile),
// and the pause after a row, cut short by the program's end.
bool WaitForMomentUnlessEnding(const LocalTime& moment);
// Sleeps until about `marginMilliseconds` before the moment, never awake on the way (false when
// the program ends meanwhile).
bool SleepUntilNearMomentUnlessEnding(const LocalTime& moment, long long marginMilliseconds);
void PauseUnlessEnding(int milliseconds);

// Replays an event file with the given exchange and pause; the thread procedure uses the TCP
// exchange. The observer hears of every row that was sent or that ended the replay. With a
// moment, the first row is made ready (its guard check, cookies and bytes, and its connection
// when asked) and written at that moment.
// With freshHidden, a row's entries named like hidden inputs of the form it submits take the
// values of the answer before (the session's tokens).
// Rows before `fromRow` (counted from 1) are not sent: a retry goes from the moment row.
void ReplayEventFile(const std::string& eventFile, const ExchangeFunction& exchange,
                     int pauseMilliseconds, const RowObserver& observer = nullptr,
                     const FirstRequestMoment* moment = nullptr, bool freshHidden = false,
                     int fromRow = 1);

// The thread procedure: replays the event file; returns at its end or at the first row that
// ends the replay.
void SocketReplayThread(std::string eventFile);
// The same with an observer of every row (the command line's replay), and a moment for the
// first request.
void SocketReplayThread(std::string eventFile, const RowObserver& observer,
                        const FirstRequestMoment* moment = nullptr, bool freshHidden = false,
                        int fromRow = 1);

// Resolves the hosts of an event file's rows ahead of its run, so that the run's first request
// does not wait for the resolver.
void PrefetchEventFileHosts(const std::string& eventFile);
// The same on a thread of the sender's own.
void StartPrefetchThread(const std::string& eventFile);

// The program's normal end: no replay starts another row (a replay waiting for its moment
// ends), the running rows finish within their time limits, and every thread of the sender is
// joined, so that none outlives the program's files and logs. Replays may start again after.
void EndSocketReplays();
// True while EndSocketReplays is waiting for the threads.
bool SocketReplaysEnding();

// Starts SocketReplayThread on a detached thread that owns its copy of the path, with its first
// request connected ahead and written at `moment`, where the task's run is announced; the run
// writes its report under the task's name and says each row's outcome in the message list.
// The settings' rule judges each try; failed tries are run again within the retry window, up
// to `latest` (the task's next due moment).
void StartSocketReplayThread(const std::string& eventFile, const std::string& taskName,
                             const LocalTime& moment, const RunSettings& settings = RunSettings(),
                             const LocalTime* latest = nullptr);

}  // namespace quillrun
