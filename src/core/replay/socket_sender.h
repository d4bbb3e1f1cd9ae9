// The socket sender: replays an event file row by row over its own HTTP/1.0 client, with the
// cookie store, numbered response files and the duplicate-post guard. One detached thread per
// started Socket task.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/platform/tcp_client.h"
#include "core/replay/run_report.h"
#include "core/replay/success_rule.h"
#include "core/replay/url_endpoint.h"

namespace quillrun {

constexpr std::size_t kReceiveLimit = 10240;
constexpr int kResponseFilesMax = 101;  // numbers 0 to 100

struct SocketSenderOptions {
    std::uint16_t port = 0;        // 0: 80, or 50000 in CGI test mode
    int pauseMilliseconds = 1000;  // after every row that reached the request stage
    // 0: the settings' SocketConnectTimeout / SocketReceiveTimeout seconds, else 10 s and 30 s.
    int connectTimeoutMilliseconds = 0;
    int receiveTimeoutMilliseconds = 0;
    // 0: the settings' SocketRowTimeout seconds, else 120 s for a row's whole exchange.
    int rowTimeoutMilliseconds = 0;
};

// The connect and idle limits in force: the options, else the settings, else the defaults.
NetTimeouts SocketTimeouts();

// Tests reach a loopback server on its own port and shorten the pause.
void SetSocketSenderOptions(const SocketSenderOptions& options);

struct SocketRequest {
    std::string method;  // "GET", "URL", "POST"; "PUT", "PATCH", "DELETE" of script rows
    std::string path;
    std::string data;    // body or query, multipart bodies already decoded
    std::string cookie;  // cookie text, may be empty
    std::string host;    // the Host header's value; only TLS rows send one
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

// What one request exchange gave: whether it got as far as receiving, and the bytes received.
struct Exchange {
    bool received = false;
    std::string response;
    NetFailure failure = NetFailure::None;
    std::string detail;  // why a TLS session did not come about
};
// Told, right after the request was written, when its first byte was.
using SentHook = std::function<void(const LocalTime& firstByte)>;
// The target's port is the one connected to.
using ExchangeFunction =
    std::function<Exchange(const Endpoint& target, const std::string& text, const SentHook& sent)>;

// The exchange over TCP (and TLS for https rows): connect (or take the connection this thread
// opened ahead for the target), send the whole request, receive at most 10240 bytes.
Exchange TcpExchange(const Endpoint& target, const std::string& text, const SentHook& sent);

// Opens this thread's connection to the target now (TCP, and TLS for https), for the next
// TcpExchange to the same target to use; a failure is left for that exchange to meet.
void ConnectAhead(const Endpoint& target);
// Opens that connection again, with a message-list line, when the server has closed it since.
void KeepAheadConnectionOpen();

// When a run's first request is written: not before `at`, with its connection opened ahead
// when asked. `written` hears when the first byte went (or, for a run that ended before its
// first request, nothing).
struct FirstRequestMoment {
    LocalTime at;
    bool connectAhead = true;
    SentHook written;
};

// Replays an event file with the given exchange and pause; the thread procedure uses the TCP
// exchange. The observer hears of every row that was sent or that ended the replay. With a
// moment, the first row is made ready (its guard check, cookies and bytes, and its connection
// when asked) and written at that moment.
// With freshHidden, a row's entries named like hidden inputs of the form it submits take the
// values of the answer before (the session's tokens).
void ReplayEventFile(const std::string& eventFile, const ExchangeFunction& exchange,
                     int pauseMilliseconds, const RowObserver& observer = nullptr,
                     const FirstRequestMoment* moment = nullptr, bool freshHidden = false);

// The thread procedure: replays the event file; returns at its end or at the first row that
// ends the replay.
void SocketReplayThread(std::string eventFile);
// The same with an observer of every row (the command line's replay), and a moment for the
// first request.
void SocketReplayThread(std::string eventFile, const RowObserver& observer,
                        const FirstRequestMoment* moment = nullptr, bool freshHidden = false);

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
