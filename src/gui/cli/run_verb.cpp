#include "gui/cli/run_verb.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "core/formats/junit.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/message_sink.h"
#include "core/recording/event_line.h"
#include "core/replay/task_run.h"
#include "gui/app/headless.h"
#include "gui/browser/event_loop_waiter.h"
#include "gui/cli/verb.h"
#include "gui/cli/verb_files.h"

namespace quillrun {
namespace {

// --at: the moment asked, printed, and the first byte's time printed when it goes. False (said
// on stderr) when the text is refused.
bool TakeMoment(const std::string& at, bool lateOk, FirstRequestMoment& moment) {
    std::string error;
    LocalTime now = CurrentClock().Now();
    if (!ParseMomentText(at, now, moment.at, error, lateOk)) {
        std::fprintf(stderr, "quillrun: --at: %s\n", error.c_str());
        return false;
    }
    long long late = ToEpochMilliseconds(now) - ToEpochMilliseconds(moment.at);
    if (late >= 0)
        std::printf("moment: %s (passed %lld ms ago: sent at once)\n",
                    DateTimeText(moment.at).c_str(), late);
    else
        std::printf("moment: %s\n", DateTimeText(moment.at).c_str());
    std::fflush(stdout);
    moment.written = [&moment](const LocalTime& firstByte) {
        long long late = ToEpochMilliseconds(firstByte) - ToEpochMilliseconds(moment.at);
        std::printf("first byte: %s (%+lld ms)\n", DateTimeText(firstByte).c_str(), late);
        std::fflush(stdout);
    };
    return true;
}

// The event file named on the command line, checked, and its program path (Shift_JIS: paths on
// the command line are the file system's).
bool CheckedEventFile(const std::string& eventFile, std::string& path) {
    path = Utf8ToCp932(eventFile);
    std::string content;
    if (!ReadWholeFile(path, content)) {
        // A pipe, a device or a folder is not read either (reading a pipe would wait forever).
        std::fprintf(stderr, "quillrun: cannot read %s\n", eventFile.c_str());
        return false;
    }
    if (!LooksLikeEventFile(content)) {
        std::fprintf(stderr, "quillrun: not an event file: %s\n", eventFile.c_str());
        return false;
    }
    return true;
}

// The rows before the moment row start this long before the moment: waits until then (at once
// when that has passed) and says when they start.
void StartLeadRows(const LocalTime& moment, int leadSeconds,
                   const std::function<bool(long long)>& wait) {
    LocalTime lead = FromEpochMilliseconds(ToEpochMilliseconds(moment) - leadSeconds * 1000LL);
    long long ahead = ToEpochMilliseconds(lead) - ToEpochMilliseconds(CurrentClock().Now());
    std::printf("lead rows: %s\n", DateTimeText(ahead > 0 ? lead : CurrentClock().Now()).c_str());
    std::fflush(stdout);
    if (ahead > 0)
        wait(ahead);
}

// The lines --run prints of a run, and the tries a JUnit report is made of.
struct RunPrinter {
    const RunSettings& settings;
    std::vector<JUnitTry> tries;

    void TryStarts(int tryNumber) {
        if (settings.retry.On()) {
            std::printf("--- try %d %s\n", tryNumber, DateTimeText(CurrentClock().Now()).c_str());
            std::fflush(stdout);
        }
        tries.emplace_back();
    }
    void Row(const RowResult& row) {
        if (!tries.empty())
            tries.back().rows.push_back(row);
        std::printf("%s\n", FormatRowResult(row).c_str());
        for (const std::string& note : row.notes)
            std::printf("    %s\n", note.c_str());
        std::fflush(stdout);
    }
    void Verdict(const TryVerdict& verdict) {
        if (!tries.empty())
            tries.back().verdict = verdict;
        if (!settings.rule.IsDefault() || settings.retry.On()) {
            std::printf("rule: %s\n",
                        verdict.success ? "success" : ("failure: " + verdict.reason).c_str());
            std::fflush(stdout);
        }
    }
};

}  // namespace

int RunEventFile(const CommandLine& line, const EventFileReplay& replay,
                 const std::function<bool(long long)>& wait) {
    const std::string& at = line.at;
    const RunSettings& settings = line.settings;
    FirstRequestMoment moment;
    moment.connectAhead = line.preconnect;
    moment.momentRow = line.momentRow;
    if (!at.empty() && !TakeMoment(at, line.lateOk, moment))
        return 2;
    std::string path;
    if (!CheckedEventFile(line.eventFile, path))
        return 2;
    // The settings of the program folder, read only: the running desktop program's files
    // (its guard file, its log) are left as they are.
    if (!LoadSettingsOrSayWhy())
        return 2;
    SetMessageSink([](const std::string& text) {
        std::fprintf(stderr, "quillrun: %s\n", Cp932ToUtf8(text).c_str());
    });
    RunPrinter printer{settings, {}};
    auto waitFor = wait ? wait : [](long long milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return true;
    };
    LocalTime start = at.empty() ? CurrentClock().Now() : moment.at;
    if (!at.empty() && line.momentRow > 1)
        StartLeadRows(moment.at, line.leadSeconds, waitFor);
    RunSummary summary = RunTask(
        path, settings, nullptr,
        [&](int tryNumber, const RowObserver& observer) {
            printer.TryStarts(tryNumber);
            if (tryNumber == 1)
                replay(path, observer, at.empty() ? nullptr : &moment, 1);
            else
                replay(path, observer, nullptr, line.momentRow);
        },
        waitFor, [&printer](const RowResult& row) { printer.Row(row); }, start, nullptr,
        [&printer](int, const TryVerdict& verdict) { printer.Verdict(verdict); });
    SetMessageSink(nullptr);
    if (!line.junitPath.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) != 0)
            host[0] = '\0';
        if (!WriteNamedFile(line.junitPath, JUnitReportXml(Cp932ToUtf8(path), printer.tries, host)))
            return 2;
    }
    return summary.success ? 0 : 1;
}

int RunEventFileNow(const CommandLine& line) {
    bool fresh = line.settings.freshHidden;
    return RunEventFile(line, [fresh](const std::string& path, const RowObserver& observer,
                                      const FirstRequestMoment* moment, int fromRow) {
        SocketReplayThread(path, observer, moment, fresh, fromRow);
    });
}

int RunEventFileInBrowser(const CommandLine& line) {
    bool fresh = line.settings.freshHidden;
    // One engine for every try: started once, its cookies kept between tries as a user's are.
    std::unique_ptr<OffscreenBrowser> offscreen;
    return RunEventFile(
        line,
        [&offscreen, fresh](const std::string& path, const RowObserver& observer,
                            const FirstRequestMoment* moment, int fromRow) {
            // A profile of its own for this run: a desktop program may be using the usual one.
            if (!offscreen)
                offscreen = std::make_unique<OffscreenBrowser>(QString());
            if (moment != nullptr && moment->momentRow > 1) {
                // The lead rows navigate now; the moment row starts at the moment.
                BrowserMoment at{moment->at, moment->momentRow, moment->written};
                offscreen->Replay(path, observer, fresh, &at, fromRow);
                return;
            }
            if (moment != nullptr) {
                // The engine is up before the moment; the first navigation starts at it.
                WaitOnEventLoopUntil(moment->at);
                if (moment->written)
                    moment->written(CurrentClock().Now());
            }
            offscreen->Replay(path, observer, fresh, nullptr, fromRow);
        },
        [](long long milliseconds) {
            EventLoopWaiter().Pause(static_cast<int>(milliseconds));
            return true;
        });
}

int RunVerb(const CommandLine& line, ProgramStart& start) {
    if (!line.browser)
        return RunEventFileNow(line);
    start.Application();
    return RunEventFileInBrowser(line);
}

}  // namespace quillrun
