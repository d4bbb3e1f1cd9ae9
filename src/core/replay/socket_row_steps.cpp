#include "core/replay/socket_row_steps.h"

#include <cctype>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/replay/cookie_store.h"
#include "core/replay/fresh_hidden.h"
#include "core/replay/fresh_tokens.h"
#include "core/replay/post_guard.h"
#include "core/replay/row_report.h"
#include "core/replay/success_rule.h"
#include "core/web/charset_converter.h"
#include "core/web/form_encoding.h"
#include "core/web/html_tree.h"
#include "core/web/http_response.h"
#include "core/web/url_encoding.h"
#include "core/web/url_split.h"

namespace quillrun {
namespace {

// The answer's body as UTF-8 text, and the charset it was in.
std::string AnswerHtml(const std::string& answer, std::string& charset) {
    charset = AnswerCharset(answer);
    std::size_t headerEnd = answer.find("\r\n\r\n");
    std::string body = answer.substr(headerEnd == std::string::npos ? 0 : headerEnd + 4);
    // A page too large to parse is not converted either: it is refused as it stands.
    if (charset == "UTF-8" || body.size() > kLargestParsedHtml)
        return body;
    return ConvertCharset("UTF-8", charset.c_str(), body, "?");
}

// The row's data with the hidden fields of the form it submits, as the answer before gave them.
std::string FreshHiddenData(const EventLine& row, const std::string& rowUrl, const HtmlTree& page,
                            const std::string& charset, const std::string& previousAnswer,
                            const std::string& previousUrl, std::vector<std::string>& notes) {
    std::vector<PageForm> forms = ParseForms(page, previousUrl);
    const PageForm* form = previousAnswer.empty() ? nullptr : FormForRow(forms, rowUrl);
    RefreshedEntries entries = RefreshHiddenEntries(row.data, form ? *form : PageForm{}, charset);
    SayRefreshedEntries(entries, "answer", notes);
    return entries.data;
}

bool IsRedirect(const std::string& answer) {
    int status = StatusCodeOf(StatusLineOf(answer));
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string WithoutPort(const std::string& host) {
    std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && (host[0] != '[' || colon > host.find(']')))
        return host.substr(0, colon);
    return host;
}

// A refusal that looks like a stale session token: the setting that mends it is said.
void SayWhenTheTokenLooksStale(const std::string& response, const std::string& data) {
    std::string status = StatusLineOf(response);
    if (status.find(" 403") == std::string::npos && status.find(" 419") == std::string::npos)
        return;
    std::string lower = response;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool named =
        lower.find("token") != std::string::npos || lower.find("csrf") != std::string::npos;
    for (const std::string& pair : UrlencodedPairs(data))
        named = named || LooksLikeTokenName(pair.substr(0, pair.find('=')));
    if (named) {
        AddMessage(
            J("古いトークンで拒否された可能性があります。タスクの詳細設定「隠しフィールドを新しくす"
              "る」"
              "(--fresh-hidden) で、前の応答の値を送れます"));
    }
}

bool CgiTestMode() {
    return App().settings.CGITestMode == 1;
}

}  // namespace

bool ReadSocketRow(const SocketRun& run, std::size_t index, SocketRow& row) {
    row.index = index;
    auto notSent = [&](const std::string& why) {
        ReportRowsNotSent(run.lines, index, why, run.observer);
        return false;
    };
    if (!ReadReplayRowOrEnd(run.lines, index, row.row, run.observer, [&](const std::string& why) {
            ReportRowFailed(run.observer, "", "", why);
        }))
        return false;
    // A fragment belongs to the page, never to the request line.
    row.wireUrl = row.row.url.substr(0, row.row.url.find('#'));
    std::string fault = AddressFault(row.wireUrl, row.url);
    if (!fault.empty())
        return notSent(fault);
    // User information goes as Authorization, as a browser sends it: never in the request
    // line, and shown masked in every line said about the row.
    if (!row.url.userinfo.empty()) {
        row.wireUrl = WithoutUserinfo(row.wireUrl);
        row.row.url = MaskedUserinfo(row.row.url);
    }
    row.script = IsScriptRow(row.row);
    return true;
}

bool GuardSocketRow(const SocketRun& run, const SocketRow& row) {
    if (CgiTestMode())
        return true;
    GuardResult guard = RunPostGuard(row.url.host + row.row.method + row.url.path + row.row.data);
    if (guard == GuardResult::Pass)
        return true;
    ReportRowFailed(run.observer, row.row.method, row.row.url,
                    guard == GuardResult::Tripped ? "refused by the duplicate-post guard"
                                                  : "guard file cannot be written");
    return false;
}

void FollowRedirectsBefore(SocketRun& run, SocketRow& row) {
    for (int hops = 0; hops < kRedirectHopsFollowed && IsRedirect(run.previousAnswer); ++hops) {
        std::string location = ResponseHeaderValue(run.previousAnswer, "location");
        if (location.empty()) {
            AddMessage(J("転送先の書かれていない転送はたどりません"));
            row.notes.push_back("redirect without a Location not followed");
            return;
        }
        std::string next = ResolveAddress(run.previousUrl, location);
        next = next.substr(0, next.find('#'));
        UrlParts parts;
        if (!SplitUrl(next, parts) ||
            !EqualNoCase(WithoutPort(parts.host), WithoutPort(row.url.host))) {
            AddMessage(J("別のサイトへの転送はたどりません: ") + next);
            row.notes.push_back("redirect to " + next + " not followed: another site");
            return;
        }
        Endpoint target = EndpointOf(next, parts.host);
        target.port = ConnectPort(target, CgiTestMode(), run.options.port);
        std::size_t mark = parts.path.find('?');
        SocketRequest request;
        request.method = "GET";
        request.path = parts.path.substr(0, mark);
        request.data = mark == std::string::npos ? std::string() : parts.path.substr(mark + 1);
        request.cookie = LookupCookies(target.host, request.path, target.tls);
        if (target.tls || App().settings.SocketHostHeader == 1)
            request.host = HostHeaderValue(target);
        Exchange hop = run.exchange(target, FormatSocketRequest(request), nullptr);
        std::string outcome = hop.received ? StatusLineOf(hop.response) : "no answer";
        AddMessage(J("転送先を読みます: ") + next + " (" + Utf8ToCp932(outcome) + ")");
        row.notes.push_back("redirect followed: GET " + Cp932ToUtf8(next) + " -> " + outcome);
        if (!hop.received)
            return;
        StoreResponseCookies(hop.response, target.host, request.path);
        run.previousAnswer = hop.response;
        run.previousUrl = next;
    }
}

void RefreshSocketRowTokens(SocketRun& run, SocketRow& row) {
    const EventLine& event = row.row;
    bool carriesEntries =
        !row.script && (event.method == "POST" || (event.method == "GET" && !event.data.empty()));
    if (!run.freshHidden || (!carriesEntries && !row.script))
        return;
    FollowRedirectsBefore(run, row);
    std::string charset;
    HtmlTree tree(AnswerHtml(run.previousAnswer, charset));
    if (!tree.Parsed()) {
        // A page no parser should walk gives no tokens: the row goes as recorded.
        AddMessage(J("前の応答のページを読めないため、記録した値で送ります（") +
                   Utf8ToCp932(tree.Refusal()) + J("）"));
        row.notes.push_back("answer before not read (" + tree.Refusal() + "): sent as recorded");
        return;
    }
    PageTokens page = PageTokensOf(tree);
    std::vector<std::string> refreshed;
    if (carriesEntries && event.data.find(kMultipartMarker) == std::string::npos) {
        row.row.data = FreshHiddenData(event, row.wireUrl, tree, charset, run.previousAnswer,
                                       run.previousUrl, row.notes);
        row.row.data = RefreshTokenField(row.row.data, false, page, refreshed);
    }
    if (row.script) {
        Endpoint target = EndpointOf(row.wireUrl, row.url.host);
        std::string cookies = LookupCookies(target.host, row.url.path, target.tls);
        row.row.headers = RefreshTokenHeaders(event.headers, page, cookies, refreshed);
        if (!RowBodyIsPercentEncoded(event.headers)) {
            bool json = AsciiLower(RowHeaderValue(event.headers, "content-type")).find("json") !=
                        std::string::npos;
            row.row.data = RefreshTokenField(event.data, json, page, refreshed);
        }
    }
    SayRefreshedTokens(refreshed, "answer", row.notes);
}

void MakeSocketRequest(const SocketRun& run, SocketRow& row) {
    const EventLine& event = row.row;
    SocketRequest& request = row.request;
    request.method = event.method;
    request.path = row.url.path;
    request.data = row.script ? ScriptRowBody(event) : event.data;
    request.headers = event.headers;
    request.contentLength = static_cast<int>(event.data.size());
    if (!row.script && event.data.find(kMultipartMarker) != std::string::npos) {
        request.contentLength = static_cast<int>(event.data.size() / 3);
        UrlDecode(request.data, 0, true);
    }
    // The scheme and an explicit port decide the connection; the cookie store knows hosts
    // without their port.
    row.target = EndpointOf(row.wireUrl, row.url.host);
    row.target.port = ConnectPort(row.target, CgiTestMode(), run.options.port);
    request.cookie = LookupCookies(row.target.host, row.url.path, row.target.tls);
    // Servers behind TLS need the name they serve; plain rows stay as they always were.
    row.hostHeader = row.target.tls || App().settings.SocketHostHeader == 1;
    if (row.hostHeader)
        request.host = HostHeaderValue(row.target);
    if (!row.url.userinfo.empty() && RowHeaderValue(event.headers, "authorization").empty())
        request.authorization = BasicAuthorization(row.url.userinfo);
    row.sends = event.method == "GET" || event.method == "URL" || event.method == "POST" ||
                (row.script && IsScriptMethod(EventMethodCode(event.method)));
}

bool IsMomentRow(const SocketRun& run, const SocketRow& row) {
    return run.moment != nullptr && !run.firstSent && row.sends &&
           static_cast<int>(row.index) + 1 >= run.moment->momentRow;
}

bool IsLeadRow(const SocketRun& run, const SocketRow& row) {
    return run.moment != nullptr && static_cast<int>(row.index) + 1 < run.moment->momentRow;
}

bool CheckLeadRows(const SocketRun& run, SocketRow& row) {
    if (!IsMomentRow(run, row) || run.moment->momentRow <= 1)
        return true;
    if (run.failedLeadRow != 0) {
        std::string why = "lead row " + std::to_string(run.failedLeadRow) + " failed";
        AddMessage(J("先行行 ") + std::to_string(run.failedLeadRow) +
                   J(" が失敗したため、指定時刻の行を送りません"));
        ReportRowsNotSent(run.lines, row.index, why, run.observer);
        return false;
    }
    long long left =
        ToEpochMilliseconds(run.moment->at) - ToEpochMilliseconds(CurrentClock().Now());
    if (left < 1000) {
        AddMessage(J("先行行の終わりが指定時刻の 1 秒前より遅れました（残り ") +
                   std::to_string(left) + " ms）");
        row.notes.push_back("lead rows ended " + std::to_string(left) +
                            " ms before the moment (later than 1 s before it)");
    }
    return true;
}

bool WaitForSocketRowMoment(SocketRun& run, SocketRow& row) {
    // The run's moment row: everything is ready before its moment, the write at it.
    row.timed = IsMomentRow(run, row);
    if (!row.timed)
        return true;
    if (run.moment->connectAhead) {
        ConnectAhead(row.target);
        // A server may drop an idle connection: look again shortly before the moment.
        if (!WaitForMomentUnlessEnding(
                FromEpochMilliseconds(ToEpochMilliseconds(run.moment->at) - 300)))
            return false;
        KeepAheadConnectionOpen();
    }
    if (!run.moment->sharedWriter)
        return WaitForMomentUnlessEnding(run.moment->at);
    // The writer wakes at the moment; this thread only hands the request over shortly before.
    if (!SleepUntilNearMomentUnlessEnding(run.moment->at, 100))
        return false;
    WriteNextExchangeAt(run.moment->at);
    return true;
}

void ExchangeSocketRow(SocketRun& run, SocketRow& row) {
    std::string text = FormatSocketRequest(row.request);
    row.result.at = CurrentClock().Now();
    row.started = std::chrono::steady_clock::now();
    if (row.sends) {
        row.exchange = run.exchange(row.target, text, [&](const LocalTime& firstByte) {
            row.wrote = true;
            row.result.at = firstByte;
            // A request handed to the moment writer is timed from its write, not its hand-over.
            if (run.moment != nullptr && run.moment->sharedWriter && row.timed)
                row.started = std::chrono::steady_clock::now();
            if (row.timed && run.moment->written)
                run.moment->written(firstByte);
        });
    }
    run.firstSent = run.firstSent || row.timed || (row.sends && !IsLeadRow(run, row));
}

void LogSocketRow(SocketRow& row) {
    std::string scheme = row.target.tls ? "https://" : "http://";
    WriteLog(J("HTTPリクエスト送信 ") + scheme + row.url.host + "/" + row.url.path +
                 " cookie:" + row.request.cookie + " port:" + std::to_string(row.target.port) +
                 (row.timed && row.wrote ? " sent:" + DateTimeText(row.result.at) : std::string()),
             false);
    row.failed = ExchangeFailureMessage(row.exchange, SocketTimeouts(),
                                        scheme + row.url.host + row.url.path);
    if (row.failed.empty())
        return;
    if (row.exchange.failure == NetFailure::TlsHandshake ||
        row.exchange.failure == NetFailure::TlsCertificate) {
        WriteLog(row.failed, false);  // why nothing was sent
    }
    AddMessage(row.failed);
}

void StoreSocketAnswer(SocketRun& run, const SocketRow& row) {
    if (!row.exchange.received)
        return;
    const std::string& response = row.exchange.response;
    // A name-based virtual host answers a request without Host: with 400.
    if (!row.hostHeader && StatusLineOf(response).find(" 400") != std::string::npos)
        AddMessage(J("400 Bad Request: ") + (row.target.tls ? "https://" : "http://") +
                   row.url.host + row.url.path +
                   J(" 名前で分けたサーバーは Host ヘッダーを求めます。quillrun.ini の "
                     "[CONFIG] に SocketHostHeader=1 と書くと平文の行にも送ります"));
    StoreResponse(response.substr(0, kReceiveLimit));
    StoreResponseCookies(response, row.target.host, row.url.path);
    if (!run.freshHidden)
        SayWhenTheTokenLooksStale(response, row.row.data);
    run.previousAnswer = response;
    run.previousUrl = row.wireUrl;
}

std::string SocketRowOutcome(const SocketRow& row) {
    if (!row.failed.empty())
        return Cp932ToUtf8(row.failed);
    if (row.exchange.received)
        return StatusLineOf(row.exchange.response);
    if (row.exchange.failure == NetFailure::Resolve)
        return "host not found";
    if (row.exchange.failure == NetFailure::None)
        return "not sent: method " + row.row.method;
    return "connection failed";
}

bool SocketRowSucceeded(const SocketRow& row) {
    return row.failed.empty() && row.exchange.received &&
           IsSuccessStatus(StatusLineOf(row.exchange.response));
}

void ReportSocketRow(const SocketRun& run, SocketRow& row) {
    if (!run.observer)
        return;
    const EventLine& event = row.row;
    RowResult& result = row.result;
    result.notes = row.notes;
    result.method = event.method;
    bool query = !row.script && (event.method == "GET" || event.method == "URL");
    result.url = event.url + (query && !event.data.empty() ? "?" + event.data : "");
    result.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - row.started)
                              .count();
    result.bytes = row.exchange.response.size();
    result.outcome = SocketRowOutcome(row);
    if (row.failed.empty() && row.exchange.received) {
        result.ok = IsSuccessStatus(result.outcome);
        result.responseText = ResponseBodyText(row.exchange.response);
    }
    run.observer(result);
}

void ReplayEventFile(const std::string& eventFile, const ExchangeFunction& exchange,
                     int pauseMilliseconds, const RowObserver& observer,
                     const FirstRequestMoment* moment, bool freshHidden, int fromRow) {
    SocketRun run;
    if (!ReadEventFileLines(eventFile, run.lines))
        return;
    run.exchange = exchange;
    run.pauseMilliseconds = pauseMilliseconds;
    run.observer = observer;
    run.moment = moment;
    run.freshHidden = freshHidden;
    run.options = CurrentSocketSenderOptions();
    run.fromRow = fromRow;
    for (std::size_t n = 0; n < run.lines.size(); ++n) {
        if (SocketReplaysEnding())
            return;  // the program is ending: no new row
        if (static_cast<int>(n) + 1 < run.fromRow)
            continue;
        SocketRow row;
        if (!ReadSocketRow(run, n, row) || !GuardSocketRow(run, row))
            return;
        RefreshSocketRowTokens(run, row);
        MakeSocketRequest(run, row);
        if (row.row.method == "SET")
            continue;  // a step of the browser's: nothing to send
        if (!CheckLeadRows(run, row) || !WaitForSocketRowMoment(run, row))
            return;
        ExchangeSocketRow(run, row);
        LogSocketRow(row);
        StoreSocketAnswer(run, row);
        ReportSocketRow(run, row);
        if (IsLeadRow(run, row) && run.failedLeadRow == 0 && !SocketRowSucceeded(row))
            run.failedLeadRow = static_cast<int>(row.index) + 1;
        if (run.pauseMilliseconds > 0)
            PauseUnlessEnding(run.pauseMilliseconds);
    }
}

}  // namespace quillrun
