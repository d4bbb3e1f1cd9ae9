#include "core/replay/success_rule.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "core/config/status_ranges.h"

namespace quillrun {
bool StatusCounts(const SuccessRule& rule, int status) {
    std::vector<std::pair<int, int>> ranges;
    if (rule.statusRanges.empty() || !ReadStatusRanges(rule.statusRanges, ranges))
        return status >= 200 && status <= 399;
    for (const auto& [low, high] : ranges) {
        if (status >= low && status <= high)
            return true;
    }
    return false;
}

int StatusCodeOf(const std::string& statusLine) {
    if (statusLine.compare(0, 5, "HTTP/") != 0)
        return 0;
    std::size_t space = statusLine.find(' ');
    if (space == std::string::npos || space + 4 > statusLine.size())
        return 0;
    int code = 0;
    for (std::size_t k = space + 1; k < space + 4; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(statusLine[k])))
            return 0;
        code = code * 10 + (statusLine[k] - '0');
    }
    return code;
}

TryVerdict JudgeTry(const SuccessRule& rule, const std::vector<RowResult>& rows) {
    TryVerdict verdict;
    if (rows.empty()) {
        verdict.reason = "no row was sent";
        return verdict;
    }
    for (const RowResult& row : rows) {
        if (row.outcome == "refused by the duplicate-post guard") {
            verdict.guardRefused = true;
            verdict.reason = row.outcome;
            return verdict;
        }
        if (row.method == "SET" && !row.ok) {
            verdict.reason = row.outcome;  // a step of a form action failed
            return verdict;
        }
        if (row.method == "SET")
            continue;
        int status = StatusCodeOf(row.outcome);
        if (status == 0 && row.ok)
            continue;  // a browser row: its page loaded (the engine tells no status)
        if (status == 0) {
            verdict.reason = row.method + " " + row.url + ": " + row.outcome;
            return verdict;
        }
        if (!StatusCounts(rule, status)) {
            verdict.reason = row.method + " " + row.url + ": " + row.outcome +
                             (rule.statusRanges.empty() ? std::string()
                                                        : " (not among " + rule.statusRanges + ")");
            return verdict;
        }
    }
    const std::string& answer = rows.back().responseText;
    // The text that says it failed says more than a missing one: it is looked for first.
    if (!rule.rejectText.empty() && answer.find(rule.rejectText) != std::string::npos) {
        verdict.reason = "the last answer contains \"" + rule.rejectText + "\"";
        return verdict;
    }
    if (!rule.expectText.empty() && answer.find(rule.expectText) == std::string::npos) {
        verdict.reason = "the last answer does not contain \"" + rule.expectText + "\"";
        return verdict;
    }
    verdict.success = true;
    return verdict;
}

RunSummary RunTries(const RunSettings& settings, const TryHooks& hooks, const LocalTime& moment,
                    const LocalTime* latest) {
    RunSummary summary;
    long long deadline = ToEpochMilliseconds(moment) + 1000LL * settings.retry.forSeconds;
    if (latest != nullptr)
        deadline = std::min(deadline, ToEpochMilliseconds(*latest));
    long long every = std::max(settings.retry.everyMs, RetryWindow::kShortestEveryMs);
    for (int n = 1;; ++n) {
        long long started = ToEpochMilliseconds(CurrentClock().Now());
        std::vector<RowResult> rows;
        hooks.runOnce(n, [&](const RowResult& row) {
            rows.push_back(row);
            if (hooks.row)
                hooks.row(row);
        });
        TryVerdict verdict = JudgeTry(settings.rule, rows);
        summary.tries = n;
        if (hooks.tried)
            hooks.tried(n, verdict);
        if (verdict.success) {
            summary.success = true;
            summary.successfulTry = n;
            return summary;
        }
        summary.reason = verdict.reason;
        if (verdict.guardRefused || !settings.retry.On())
            return summary;
        long long next = std::max(started + every, ToEpochMilliseconds(CurrentClock().Now()));
        if (next >= deadline)
            return summary;
        if (!hooks.wait(next - ToEpochMilliseconds(CurrentClock().Now())))
            return summary;
    }
}

}  // namespace quillrun
