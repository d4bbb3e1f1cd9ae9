// Whether a run reached its goal, and the retry window that tries it again until it does: the
// statuses that count, a text the last answer must hold and one it must not, judged over the
// rows of one try; tries again every so many milliseconds until a deadline.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/config/status_ranges.h"
#include "core/config/task_list.h"
#include "core/formats/run_report.h"
#include "core/platform/clock.h"

namespace quillrun {

struct SuccessRule {
    std::string expectText;    // UTF-8; empty: not looked for
    std::string rejectText;    // UTF-8; empty: not looked for
    std::string statusRanges;  // "200-299,302"; empty: 2xx and 3xx, as ever

    // A rule that says no more than the default (a run judged as it always was).
    bool IsDefault() const {
        return expectText.empty() && rejectText.empty() && statusRanges.empty();
    }
};

// Whether the status counts under the rule (2xx and 3xx when the rule names none).
bool StatusCounts(const SuccessRule& rule, int status);
// The status of an HTTP status line ("HTTP/1.1 200 OK"); 0 when it is none.
int StatusCodeOf(const std::string& statusLine);

// The verdict on one try's rows; the last row's responseText is the answer the texts are
// looked for in.
TryVerdict JudgeTry(const SuccessRule& rule, const std::vector<RowResult>& rows);

struct RetryWindow {
    static constexpr int kShortestEveryMs = kShortestRetryEveryMs;
    int everyMs = 0;
    int forSeconds = 0;
    bool On() const { return everyMs > 0 && forSeconds > 0; }
};

struct RunSettings {
    SuccessRule rule;
    RetryWindow retry;
    int notify = 1;  // 0 never, 1 on failure, 2 always
    // A row's hidden fields take the values of the answer (or page) before it.
    bool freshHidden = false;
    // The row written at the moment (from 1); the rows before it start leadSeconds ahead, and
    // a retry goes from it.
    int momentRow = 1;
    int leadSeconds = kDefaultLeadSeconds;
};

struct RunSummary {
    bool success = false;
    int tries = 0;
    int successfulTry = 0;  // 0 when none succeeded
    std::string reason;     // the last try's verdict when none succeeded (UTF-8)
};

// What the tries need from the engine that runs them and from the clock.
struct TryHooks {
    // Runs the whole file once (try numbers from 1), telling the observer of every row.
    std::function<void(int tryNumber, const RowObserver& observer)> runOnce;
    // Waits this long (the browser keeps its message loop going); returns false when the
    // program is ending and no further try may start.
    std::function<bool(long long milliseconds)> wait;
    // Hears of each row, of each try's verdict and of the run's end.
    RowObserver row;
    std::function<void(int tryNumber, const TryVerdict& verdict)> tried;
};

// Runs the file once, and while its tries fail (other than by the guard) and the window is
// open, again every `everyMs` (from the start of the try before, never before it ended) until
// `moment` + `forSeconds`, or `latest` when that comes first (the task's next due minute).
RunSummary RunTries(const RunSettings& settings, const TryHooks& hooks, const LocalTime& moment,
                    const LocalTime* latest = nullptr);

}  // namespace quillrun
