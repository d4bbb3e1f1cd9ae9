#include "core/replay/socket_sender.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/recording/event_line.h"
#include "core/replay/task_run.h"
#include "core/web/url_encoding.h"
#include "core/web/url_split.h"

namespace quillrun {
namespace {

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

// Starts the work on a thread of the sender's own; false when no thread could be had (the
// system's limit of threads or memory).
bool StartReplayThread(std::function<void()> work) {
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
    try {
        threads.running.emplace_back(std::thread([work = std::move(work), done] {
                                         work();
                                         done->store(true);
                                     }),
                                     done);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace

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

bool SleepUntilNearMomentUnlessEnding(const LocalTime& moment, long long marginMilliseconds) {
    for (;;) {
        if (SocketReplaysEnding())
            return false;
        long long left = ToEpochMilliseconds(moment) - ToEpochMilliseconds(CurrentClock().Now());
        if (left <= marginMilliseconds)
            return true;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<long long>(left - marginMilliseconds, 100)));
    }
}

void PauseUnlessEnding(int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!SocketReplaysEnding() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(50), until - std::chrono::steady_clock::now()));
}

std::string FormatSocketRequest(const SocketRequest& request) {
    std::string cookieLine = request.cookie.empty() ? "" : "Cookie: " + request.cookie + "\r\n";
    std::string hostLine = request.host.empty() ? "" : "Host: " + request.host + "\r\n";
    if (!request.authorization.empty())
        hostLine += "Authorization: " + request.authorization + "\r\n";
    if (!request.headers.empty()) {
        std::string typeLine, rowLines;
        for (const auto& [name, value] : SplitRowHeaders(request.headers)) {
            if (!RefusedRowHeader(name).empty())
                continue;  // the sender's own and hop-by-hop headers are never a row's
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

void SocketReplayThread(std::string eventFile) {
    ReplayEventFile(eventFile, TcpExchange, CurrentSocketSenderOptions().pauseMilliseconds);
}

void SocketReplayThread(std::string eventFile, const RowObserver& observer,
                        const FirstRequestMoment* moment, bool freshHidden, int fromRow) {
    ReceiveWholeAnswers(freshHidden);
    // Over TCP the moment row is written by the moment writer, with every other run due then.
    FirstRequestMoment shared;
    if (moment != nullptr) {
        shared = *moment;
        shared.sharedWriter = true;
    }
    ReplayEventFile(eventFile, TcpExchange, CurrentSocketSenderOptions().pauseMilliseconds,
                    observer, moment != nullptr ? &shared : nullptr, freshHidden, fromRow);
    ReceiveWholeAnswers(false);
    ForgetAheadConnection();  // one the run never came to use
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
    // Only a lookup ahead: without a thread the run looks its hosts up itself.
    (void)StartReplayThread([eventFile] { PrefetchEventFileHosts(eventFile); });
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
    bool started = StartReplayThread([eventFile, taskName, moment, settings, hasLatest, until] {
        bool announced = false;
        auto announce = [&] {
            if (!announced)
                AnnounceTaskRun(taskName, [](const std::string& text) { AddMessage(text); });
            announced = true;
        };
        FirstRequestMoment first;
        first.at = moment;
        first.momentRow = settings.momentRow;
        first.written = [&](const LocalTime&) { announce(); };
        RunReportFile report(taskName, moment);
        RunTask(
            taskName, settings, &report,
            [&](int tryNumber, const RowObserver& observer) {
                // Only the first try waits for the moment; a retry goes as soon as it may.
                // A retry goes from the moment row: the lead rows are not sent again.
                SocketReplayThread(eventFile, observer, tryNumber == 1 ? &first : nullptr,
                                   settings.freshHidden, tryNumber == 1 ? 1 : settings.momentRow);
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
    if (started)
        return;
    // Never silent: the run is said, and its report says why it did not run.
    AddMessage(J("スレッドを作れないため、タスクを実行できません: ") + taskName);
    RunReportFile report(taskName, moment);
    report.AddLine("failure: not run: no thread could be started for it");
}

}  // namespace quillrun
