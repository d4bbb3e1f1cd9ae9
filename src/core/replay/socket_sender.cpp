#include "core/replay/socket_sender.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/platform/tcp_client.h"
#include "core/recording/event_line.h"
#include "core/recording/message_sink.h"
#include "core/replay/cookie_store.h"
#include "core/replay/fresh_hidden.h"
#include "core/replay/post_guard.h"
#include "core/replay/task_run.h"
#include "core/replay/url_encoding.h"
#include "core/replay/url_endpoint.h"
#include "core/replay/url_split.h"
#include "core/tasks/scheduler.h"

namespace quillrun {
namespace {

std::mutex g_optionsLock;
SocketSenderOptions g_options;

// The sender's threads, kept so that a normal end can wait for them.
struct ReplayThreads {
    std::mutex lock;
    std::vector<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> running;
    std::atomic<bool> ending{false};
};
ReplayThreads& Threads() {
    static ReplayThreads* threads = new ReplayThreads;  // never destroyed: threads may outlive main
    return *threads;
}

void StartReplayThread(std::function<void()> work) {
    ReplayThreads& threads = Threads();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> guard(threads.lock);
    // Threads that have finished are joined as new ones come.
    for (auto it = threads.running.begin(); it != threads.running.end();) {
        if (it->second->load()) {
            it->first.join();
            it = threads.running.erase(it);
        } else {
            ++it;
        }
    }
    threads.running.emplace_back(std::thread([work = std::move(work), done] {
                                     work();
                                     done->store(true);
                                 }),
                                 done);
}

// Sleeps until the moment unless the program ends meanwhile; false when it does.
bool WaitForMomentUnlessEnding(const LocalTime& moment) {
    for (;;) {
        if (SocketReplaysEnding())
            return false;
        long long left = ToEpochMilliseconds(moment) - ToEpochMilliseconds(CurrentClock().Now());
        if (left <= 150) {
            WaitForMoment(CurrentClock(), moment);
            return true;
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<long long>(left - 120, 100)));
    }
}

// The pause after a row, cut short by the program's end.
void PauseUnlessEnding(int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!SocketReplaysEnding() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(50), until - std::chrono::steady_clock::now()));
}

SocketSenderOptions Options() {
    std::lock_guard<std::mutex> lock(g_optionsLock);
    return g_options;
}

// The message-list line of a row whose exchange ran out of time or found no TLS session;
// empty for other outcomes.
std::string FailureMessage(const Exchange& exchange, const NetTimeouts& limits,
                           const std::string& address) {
    auto seconds = [](int ms) {
        char text[32];
        std::snprintf(text, sizeof(text), "%d.%03d", ms / 1000, ms % 1000);
        return std::string(text);
    };
    switch (exchange.failure) {
        case NetFailure::ConnectTimeout:
            return J("接続がタイムアウトしました（") + seconds(limits.connectMilliseconds) +
                   J(" 秒）: ") + address;
        case NetFailure::SendTimeout:
            return J("送信がタイムアウトしました（") + seconds(limits.idleMilliseconds) +
                   J(" 秒）: ") + address;
        case NetFailure::TlsHandshake:
        case NetFailure::TlsCertificate:
            return J("TLS の接続に失敗しました（") + exchange.detail + J("）: ") + address;
        case NetFailure::RowTimeout:
            return J("応答が時間内に終わりませんでした（") + seconds(limits.wholeMilliseconds) +
                   J(" 秒、受信 ") + std::to_string(exchange.response.size()) + J(" バイト）: ") +
                   address;
        case NetFailure::ReceiveTimeout:
            return J("応答がタイムアウトしました（") + seconds(limits.idleMilliseconds) +
                   J(" 秒、受信 ") + std::to_string(exchange.response.size()) + J(" バイト）: ") +
                   address;
        default:
            return std::string();
    }
}

}  // namespace

NetTimeouts SocketTimeouts() {
    SocketSenderOptions options = Options();
    NetTimeouts limits;
    const Settings& settings = App().settings;
    if (options.connectTimeoutMilliseconds > 0)
        limits.connectMilliseconds = options.connectTimeoutMilliseconds;
    else if (settings.SocketConnectTimeout > 0)
        limits.connectMilliseconds = settings.SocketConnectTimeout * 1000;
    if (options.receiveTimeoutMilliseconds > 0)
        limits.idleMilliseconds = options.receiveTimeoutMilliseconds;
    else if (settings.SocketReceiveTimeout > 0)
        limits.idleMilliseconds = settings.SocketReceiveTimeout * 1000;
    if (options.rowTimeoutMilliseconds > 0)
        limits.wholeMilliseconds = options.rowTimeoutMilliseconds;
    else if (settings.SocketRowTimeout > 0)
        limits.wholeMilliseconds = settings.SocketRowTimeout * 1000;
    return limits;
}

void SetSocketSenderOptions(const SocketSenderOptions& options) {
    std::lock_guard<std::mutex> lock(g_optionsLock);
    g_options = options;
}

std::string FormatSocketRequest(const SocketRequest& request) {
    std::string cookieLine = request.cookie.empty() ? "" : "Cookie: " + request.cookie + "\r\n";
    std::string hostLine = request.host.empty() ? "" : "Host: " + request.host + "\r\n";
    if (!request.headers.empty()) {
        std::string typeLine, rowLines;
        for (const auto& [name, value] : SplitRowHeaders(request.headers)) {
            if (AsciiLower(name) == "content-type")
                typeLine = name + ": " + value + "\r\n";
            else
                rowLines += name + ": " + value + "\r\n";
        }
        return request.method + " " + request.path + "  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n" +
               hostLine + typeLine + "Content-Length:" + std::to_string(request.data.size()) +
               "\r\n" + cookieLine + rowLines + "\r\n" + request.data;
    }
    if (request.method == "POST") {
        std::string type = "application/x-www-form-urlencoded";
        if (request.data.find("form-data") != std::string::npos) {
            type = "multipart/form-data";
            std::string boundary = MultipartBoundary(request.data);
            if (!boundary.empty())
                type += "; boundary=" + boundary;
        }
        return "POST " + request.path + "  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n" + hostLine +
               "Content-Type:" + type +
               "\r\nContent-Length:" + std::to_string(request.contentLength) + "\r\n" + cookieLine +
               "\r\n" + request.data + "\r\n";
    }
    return "GET " + request.path + "?" + request.data +
           "  HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\n" + hostLine + cookieLine + "\r\n";
}

std::string ResponseFilePath(int n) {
    return ProgramPath("response/" + std::to_string(n) + "_response.txt");
}

void StoreResponse(const std::string& response) {
    int n = 0;
    while (n < kResponseFilesMax && FileExists(ResponseFilePath(n)))
        ++n;
    if (n >= kResponseFilesMax) {
        for (int i = 0; i < kResponseFilesMax; ++i)
            RemoveFile(ResponseFilePath(i));
        n = 0;
    }
    if (WriteWholeFile(ResponseFilePath(n), response))
        return;
    // A full disk: no empty or cut file stays behind, and the user hears of it once.
    RemoveFile(ResponseFilePath(n));
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        AddMessage(J("応答を response/ に保存できませんでした（以後の失敗は表示しません）"));
}

namespace {

// The connection a thread opened ahead of its first request, and where it leads.
struct AheadConnection {
    std::unique_ptr<TcpConnection> connection;
    Endpoint target;
    bool opened = false;
};
thread_local AheadConnection t_ahead;
// How much of an answer this thread reads: the whole page (up to 4 MiB) when a later row takes
// its hidden fields from it; the response file keeps the first 10240 bytes as ever.
constexpr std::size_t kWholeAnswerLimit = 4 * 1024 * 1024;
thread_local std::size_t t_receiveLimit = kReceiveLimit;

bool SameTarget(const Endpoint& a, const Endpoint& b) {
    return a.host == b.host && a.port == b.port && a.tls == b.tls;
}

bool Open(TcpConnection& connection, const Endpoint& target) {
    return connection.Connect(target.host, target.port, SocketTimeouts()) &&
           (!target.tls || connection.StartTls(target.host));
}

std::string AddressText(const Endpoint& target) {
    return (target.tls ? "https://" : "http://") + target.host + ":" + std::to_string(target.port);
}

// The connection opened ahead for the target, when there is one that still stands.
std::unique_ptr<TcpConnection> TakeAheadConnection(const Endpoint& target) {
    if (!t_ahead.connection || !SameTarget(t_ahead.target, target))
        return nullptr;
    KeepAheadConnectionOpen();
    std::unique_ptr<TcpConnection> taken = std::move(t_ahead.connection);
    bool usable = t_ahead.opened;
    t_ahead = AheadConnection();
    return usable ? std::move(taken) : nullptr;
}

// The row's data with the hidden fields of the form it submits, as the answer before gave them.
std::string FreshHiddenData(const EventLine& row, const std::string& rowUrl,
                            const std::string& previousAnswer, const std::string& previousUrl,
                            std::vector<std::string>& notes) {
    std::string charset = AnswerCharset(previousAnswer);
    std::size_t headerEnd = previousAnswer.find("\r\n\r\n");
    std::string body = previousAnswer.substr(headerEnd == std::string::npos ? 0 : headerEnd + 4);
    std::string html =
        charset == "UTF-8" ? body : ConvertCharset("UTF-8", charset.c_str(), body, "?");
    std::vector<PageForm> forms = ParseForms(html, previousUrl);
    const PageForm* form = previousAnswer.empty() ? nullptr : FormForRow(forms, rowUrl);
    RefreshedEntries entries;
    if (form != nullptr) {
        entries = RefreshHiddenEntries(row.data, *form, charset);
    } else {
        entries = RefreshHiddenEntries(row.data, PageForm{}, charset);
    }
    SayRefreshedEntries(entries, "answer", notes);
    return entries.data;
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
    for (std::size_t at = 0; !named && at < data.size();) {
        std::size_t end = data.find('&', at);
        named = LooksLikeTokenName(data.substr(at, data.find('=', at) - at));
        at = end == std::string::npos ? data.size() : end + 1;
    }
    if (named) {
        AddMessage(
            J("古いトークンで拒否された可能性があります。タスクの詳細設定「隠しフィールドを新しくす"
              "る」"
              "(--fresh-hidden) で、前の応答の値を送れます"));
    }
}

}  // namespace

void ConnectAhead(const Endpoint& target) {
    t_ahead.connection = std::make_unique<TcpConnection>();
    t_ahead.target = target;
    t_ahead.opened = Open(*t_ahead.connection, target);
}

void KeepAheadConnectionOpen() {
    if (!t_ahead.connection || !t_ahead.opened || t_ahead.connection->StillOpen())
        return;
    AddMessage(J("先に開いた接続をサーバーが閉じたため、開き直しました: ") +
               AddressText(t_ahead.target));
    t_ahead.opened = Open(*t_ahead.connection, t_ahead.target);
}

Exchange TcpExchange(const Endpoint& target, const std::string& text, const SentHook& sent) {
    Exchange result;
    std::unique_ptr<TcpConnection> connection = TakeAheadConnection(target);
    if (!connection) {
        connection = std::make_unique<TcpConnection>();
        if (!Open(*connection, target)) {
            result.failure = connection->failure();
            result.detail = connection->failureDetail();
            return result;
        }
    }
    LocalTime firstByte = CurrentClock().Now();
    connection->StartExchangeClock();
    bool wrote = connection->SendAll(text);
    if (sent)
        sent(firstByte);
    if (!wrote) {
        result.failure = connection->failure();
        result.detail = connection->failureDetail();
        return result;
    }
    // A receive that ran out of time counts as received, with the bytes held, as an error
    // while receiving does.
    result.response = connection->ReceiveUpTo(t_receiveLimit);
    result.received = true;
    result.failure = connection->failure();
    return result;
}

void SocketReplayThread(std::string eventFile) {
    ReplayEventFile(eventFile, TcpExchange, Options().pauseMilliseconds);
}

void SocketReplayThread(std::string eventFile, const RowObserver& observer,
                        const FirstRequestMoment* moment, bool freshHidden) {
    t_receiveLimit = freshHidden ? kWholeAnswerLimit : kReceiveLimit;
    ReplayEventFile(eventFile, TcpExchange, Options().pauseMilliseconds, observer, moment,
                    freshHidden);
    t_receiveLimit = kReceiveLimit;
    t_ahead = AheadConnection();  // one the run never came to use
}

void ReplayEventFile(const std::string& eventFile, const ExchangeFunction& exchangeRequest,
                     int pauseMilliseconds, const RowObserver& observer,
                     const FirstRequestMoment* moment, bool freshHidden) {
    // The answer of the row before, and its address: where fresh hidden fields come from.
    std::string previousAnswer, previousUrl;
    // A row that ends the replay is a failed row to whoever watches.
    auto ended = [&observer](const EventLine& row, const std::string& why) {
        ReportRowFailed(observer, row.method, row.url, why);
    };
    std::vector<std::string> lines;
    if (!ReadEventFileLines(eventFile, lines))
        return;
    SocketSenderOptions options = Options();
    bool firstDone = false;

    auto notSent = [&](std::size_t bad, const std::string& why) {
        ReportRowsNotSent(lines, bad, why, observer);
    };
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (SocketReplaysEnding())
            return;  // the program is ending: no new row
        EventLine row;
        if (!ParseReplayRow(lines[n], row)) {
            if (!IsEventListEnd(lines[n]))
                notSent(n, "it cannot be read as an event");
            return;
        }
        if (RowHoldsControlBytes(row)) {
            AddMessage(DamagedRowMessage(n + 1));
            ended(EventLine(), "damaged row " + std::to_string(n + 1) + ": control bytes");
            return;
        }
        // A fragment belongs to the page, never to the request line.
        std::string wireUrl = row.url.substr(0, row.url.find('#'));
        UrlParts url;
        if (!SplitUrl(wireUrl, url)) {
            notSent(n, "its URL cannot be read");
            return;
        }
        if (url.host.size() > kPathWidth - 1) {
            notSent(n, "its host is longer than 259 bytes");
            return;
        }

        bool cgiTestMode = App().settings.CGITestMode == 1;
        if (!cgiTestMode) {
            GuardResult guard = RunPostGuard(url.host + row.method + url.path + row.data);
            if (guard != GuardResult::Pass) {
                ended(row, guard == GuardResult::Tripped ? "refused by the duplicate-post guard"
                                                         : "guard file cannot be written");
                return;
            }
        }

        std::vector<std::string> notes;
        bool script = IsScriptRow(row);
        bool carriesEntries =
            !script && (row.method == "POST" || (row.method == "GET" && !row.data.empty()));
        if (freshHidden && carriesEntries && row.data.find(kMultipartMarker) == std::string::npos)
            row.data = FreshHiddenData(row, wireUrl, previousAnswer, previousUrl, notes);

        SocketRequest request;
        request.method = row.method;
        request.path = url.path;
        request.data = script ? ScriptRowBody(row) : row.data;
        request.headers = row.headers;
        request.contentLength = static_cast<int>(row.data.size());
        if (!script && row.data.find(kMultipartMarker) != std::string::npos) {
            request.contentLength = static_cast<int>(row.data.size() / 3);
            UrlDecode(request.data, 0, true);
        }
        // The scheme and an explicit port decide the connection; the cookie store knows hosts
        // without their port.
        Endpoint target = EndpointOf(wireUrl, url.host);
        target.port = ConnectPort(target, cgiTestMode, options.port);
        request.cookie = LookupCookies(target.host, url.path, target.tls);
        // Servers behind TLS need the name they serve; plain rows stay as they always were.
        bool hostHeader = target.tls || App().settings.SocketHostHeader == 1;
        if (hostHeader)
            request.host = HostHeaderValue(target);
        std::uint16_t port = target.port;

        Exchange exchange;
        if (row.method == "SET")
            continue;
        RowResult result;
        bool sends = row.method == "GET" || row.method == "URL" || row.method == "POST" ||
                     (script && IsScriptMethod(EventMethodCode(row.method)));
        // The run's first request: everything is ready before its moment, the write at it.
        bool timed = moment != nullptr && !firstDone && sends;
        std::string text = FormatSocketRequest(request);
        if (timed) {
            if (moment->connectAhead) {
                ConnectAhead(target);
                // A server may drop an idle connection: look again shortly before the moment.
                if (!WaitForMomentUnlessEnding(
                        FromEpochMilliseconds(ToEpochMilliseconds(moment->at) - 300)))
                    return;
                KeepAheadConnectionOpen();
            }
            if (!WaitForMomentUnlessEnding(moment->at))
                return;
        }
        bool wrote = false;
        result.at = CurrentClock().Now();
        auto started = std::chrono::steady_clock::now();
        if (sends) {
            exchange = exchangeRequest(target, text, [&](const LocalTime& firstByte) {
                wrote = true;
                result.at = firstByte;
                if (timed && moment->written)
                    moment->written(firstByte);
            });
        }
        firstDone = firstDone || sends;

        std::string scheme = target.tls ? "https://" : "http://";
        WriteLog(J("HTTPリクエスト送信 ") + scheme + url.host + "/" + url.path +
                     " cookie:" + request.cookie + " port:" + std::to_string(port) +
                     (timed && wrote ? " sent:" + DateTimeText(result.at) : std::string()),
                 false);
        std::string failed =
            FailureMessage(exchange, SocketTimeouts(), scheme + url.host + url.path);
        if (!failed.empty()) {
            if (exchange.failure == NetFailure::TlsHandshake ||
                exchange.failure == NetFailure::TlsCertificate) {
                WriteLog(failed, false);  // why nothing was sent
            }
            AddMessage(failed);
        }
        if (exchange.received) {
            // A name-based virtual host answers a request without Host: with 400.
            if (!hostHeader && StatusLineOf(exchange.response).find(" 400") != std::string::npos)
                AddMessage(J("400 Bad Request: ") + scheme + url.host + url.path +
                           J(" 名前で分けたサーバーは Host ヘッダーを求めます。quillrun.ini の "
                             "[CONFIG] に SocketHostHeader=1 と書くと平文の行にも送ります"));
            StoreResponse(exchange.response.substr(0, kReceiveLimit));
            StoreResponseCookies(exchange.response, target.host, url.path);
            if (!freshHidden)
                SayWhenTheTokenLooksStale(exchange.response, row.data);
            previousAnswer = exchange.response;
            previousUrl = wireUrl;
        }
        if (observer) {
            result.notes = notes;
            result.method = row.method;
            result.url = row.url + (!script && (row.method == "GET" || row.method == "URL")
                                        ? (row.data.empty() ? "" : "?" + row.data)
                                        : "");
            result.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - started)
                                      .count();
            result.bytes = exchange.response.size();
            if (!failed.empty()) {
                result.outcome = Cp932ToUtf8(failed);
            } else if (exchange.received) {
                result.outcome = StatusLineOf(exchange.response);
                result.ok = IsSuccessStatus(result.outcome);
                result.responseText = ResponseBodyText(exchange.response);
            } else if (exchange.failure == NetFailure::Resolve) {
                result.outcome = "host not found";
            } else if (exchange.failure == NetFailure::None) {
                result.outcome = "not sent: method " + row.method;
            } else {
                result.outcome = "connection failed";
            }
            observer(result);
        }
        if (pauseMilliseconds > 0)
            PauseUnlessEnding(pauseMilliseconds);
    }
}

void PrefetchEventFileHosts(const std::string& eventFile) {
    std::vector<std::string> lines;
    if (!ReadEventFileLines(eventFile, lines))
        return;
    std::vector<std::string> hosts;
    for (const std::string& line : lines) {
        EventLine row;
        UrlParts url;
        if (!ParseReplayRow(line, row) || !SplitUrl(row.url, url))
            break;
        bool seen = false;
        for (const std::string& h : hosts)
            seen = seen || h == url.host;
        if (!seen && url.host.size() < kPathWidth)
            hosts.push_back(url.host);
    }
    for (const std::string& host : hosts)
        PrefetchHostAddress(host);
}

void StartPrefetchThread(const std::string& eventFile) {
    StartReplayThread([eventFile] { PrefetchEventFileHosts(eventFile); });
}

bool SocketReplaysEnding() {
    return Threads().ending.load();
}

void EndSocketReplays() {
    ReplayThreads& threads = Threads();
    threads.ending.store(true);
    std::vector<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> running;
    {
        std::lock_guard<std::mutex> guard(threads.lock);
        running.swap(threads.running);
    }
    for (auto& entry : running)
        entry.first.join();
    threads.ending.store(false);
}

void StartSocketReplayThread(const std::string& eventFile, const std::string& taskName,
                             const LocalTime& moment, const RunSettings& settings,
                             const LocalTime* latest) {
    bool hasLatest = latest != nullptr;
    LocalTime until = hasLatest ? *latest : LocalTime();
    StartReplayThread([eventFile, taskName, moment, settings, hasLatest, until] {
        bool announced = false;
        auto announce = [&] {
            if (!announced)
                AnnounceTaskRun(taskName, [](const std::string& text) { AddMessage(text); });
            announced = true;
        };
        FirstRequestMoment first;
        first.at = moment;
        first.written = [&](const LocalTime&) { announce(); };
        RunReportFile report(taskName, moment);
        RunTask(
            taskName, settings, &report,
            [&](int tryNumber, const RowObserver& observer) {
                // Only the first try waits for the moment; a retry goes as soon as it may.
                SocketReplayThread(eventFile, observer, tryNumber == 1 ? &first : nullptr,
                                   settings.freshHidden);
                if (tryNumber == 1 && !announced && WaitForMomentUnlessEnding(moment))
                    announce();  // the run ended before its first request
            },
            [](long long milliseconds) {
                PauseUnlessEnding(static_cast<int>(milliseconds));
                return !SocketReplaysEnding();
            },
            [](const RowResult& row) { AddMessage(RowMessage(row)); }, moment,
            hasLatest ? &until : nullptr);
        PruneRunReports();
    });
}

}  // namespace quillrun
