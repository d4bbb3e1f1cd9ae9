// The socket replay as a pipeline: each row of an event file goes through the steps below in
// turn (read and check, guard, fresh tokens, make the request, wait for its moment, exchange,
// log, store, report, pause). ReplayEventFile is the list of these steps; a new step is a new
// function here, not a new branch in the loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "core/formats/run_report.h"
#include "core/recording/event_line.h"
#include "core/replay/socket_exchange.h"
#include "core/replay/socket_options.h"
#include "core/replay/socket_sender.h"
#include "core/web/url_endpoint.h"
#include "core/web/url_split.h"

namespace quillrun {

// What a replay carries from row to row.
struct SocketRun {
    std::vector<std::string> lines;  // the event file's
    ExchangeFunction exchange;
    int pauseMilliseconds = 0;
    RowObserver observer;
    const FirstRequestMoment* moment = nullptr;
    bool freshHidden = false;
    SocketSenderOptions options;
    bool firstSent = false;  // the run's first request (its moment row's) has gone or been tried
    int fromRow = 1;         // rows before it are not sent (a retry goes from the moment row)
    int failedLeadRow = 0;   // a lead row that failed, counted from 1
    // The answer of the row before, and its address: where fresh hidden fields come from.
    std::string previousAnswer, previousUrl;
};

// One row on its way through the steps.
struct SocketRow {
    std::size_t index = 0;  // in the file, from 0
    EventLine row;
    std::string wireUrl;  // the row's URL without its fragment
    UrlParts url;
    bool script = false;             // a row a page's script sent
    std::vector<std::string> notes;  // fresh fields said under the row's line
    SocketRequest request;
    Endpoint target;
    bool hostHeader = false;  // the request carries Host:
    bool sends = false;       // a method the sender sends
    bool timed = false;       // the run's first request, written at its moment
    Exchange exchange;
    bool wrote = false;
    std::string failed;  // the message-list line of a failed exchange
    RowResult result;
    std::chrono::steady_clock::time_point started;
};

// Reads row `index` and checks it (its fields, its control bytes, its URL and host); false when
// it ends the replay (said to the observer, the rows after it as not sent).
bool ReadSocketRow(const SocketRun& run, std::size_t index, SocketRow& row);

// The duplicate-post guard (not in CGI test mode); false when it refused the row, which ends
// the replay.
bool GuardSocketRow(const SocketRun& run, const SocketRow& row);

// With fresh tokens on, an answer before a form or script row that sends the browser on (a
// redirect) is followed with GET, as the browser would have shown the page it leads to: at most
// this many hops, never to another host than the row's, each said; their cookies kept.
constexpr int kRedirectHopsFollowed = 5;
void FollowRedirectsBefore(SocketRun& run, SocketRow& row);

// With fresh tokens on, a form row's entries named like hidden inputs of the form it submits
// take the values of the answer before, and a token the page names in its <meta> (or a token
// cookie) replaces the recorded one in the row's token header or field (each said in the row's
// notes, never its value).
void RefreshSocketRowTokens(SocketRun& run, SocketRow& row);

// The request of the row: its method, path and body (a multipart body decoded, its length that
// of the decoded bytes), the connection's target and port, the cookies of the store and the
// Host header where it is sent.
void MakeSocketRequest(const SocketRun& run, SocketRow& row);

// Whether the row is the one written at the run's moment: its moment row (or the first row
// after it that sends), before it has gone.
bool IsMomentRow(const SocketRun& run, const SocketRow& row);
// A lead row: sent before the moment row, at once.
bool IsLeadRow(const SocketRun& run, const SocketRow& row);

// At the moment row, what the lead rows came to: false (the run ends, the rows from here on said
// as not sent) when one of them failed; a line in the message list and the row's notes when
// they ended later than a second before the moment.
bool CheckLeadRows(const SocketRun& run, SocketRow& row);

// The run's moment row waits for its moment, its connection opened ahead when asked; false
// when the program ends meanwhile.
bool WaitForSocketRowMoment(SocketRun& run, SocketRow& row);

// Writes the request and receives the answer (a method the sender does not send is not
// exchanged).
void ExchangeSocketRow(SocketRun& run, SocketRow& row);

// The log line of the request, and the message-list line of a failed exchange.
void LogSocketRow(SocketRow& row);

// The answer kept: the response file, its cookies, the hints of a refusal, and the answer the
// next row's fresh fields come from.
void StoreSocketAnswer(SocketRun& run, const SocketRow& row);

// What the row's result line says of its exchange: the failure's line, the status line, "host
// not found", "not sent: method X" or "connection failed".
std::string SocketRowOutcome(const SocketRow& row);

// Whether the row got an answer of 2xx or 3xx.
bool SocketRowSucceeded(const SocketRow& row);

// Tells the observer of the row's result.
void ReportSocketRow(const SocketRun& run, SocketRow& row);

}  // namespace quillrun
