#include "core/replay/browser_replay.h"

#include <cctype>
#include <chrono>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/platform/paths.h"
#include "core/replay/form_action.h"
#include "core/replay/fresh_hidden.h"
#include "core/replay/fresh_tokens.h"
#include "core/replay/post_guard.h"
#include "core/replay/request_source.h"
#include "core/replay/row_report.h"
#include "core/web/form_encoding.h"
#include "core/web/url_encoding.h"
#include "core/web/url_split.h"

namespace quillrun {

std::string FirstRowOrigin(const std::string& eventFile) {
    std::vector<std::string> lines;
    EventLine row;
    UrlParts parts;
    if (!ReadEventFileLines(eventFile, lines) || lines.empty() || !ParseReplayRow(lines[0], row))
        return std::string();
    RowAction action = NavigationForRow(row).action;
    if (action != RowAction::Navigate && action != RowAction::NavigatePost)
        return std::string();
    std::string url = WithoutUserinfo(row.url);
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos || !SplitUrl(url, parts) || parts.host.empty())
        return std::string();
    std::string name = url.substr(0, scheme);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name != "http" && name != "https")
        return std::string();
    return name + "://" + parts.host;
}

RowNavigation NavigationForRow(const EventLine& row) {
    RowNavigation n;
    if (IsScriptRow(row)) {
        if (row.method == "POST" || IsScriptMethod(EventMethodCode(row.method))) {
            n.action = RowAction::Fetch;
            n.method = row.method;
            n.url = row.url;
            n.postData = ScriptRowBody(row);
            n.header = row.headers;
        }
        return n;
    }
    if (row.method == "URL") {
        n.action = RowAction::Navigate;
        n.url = row.url;
    } else if (row.method == "GET") {
        n.action = RowAction::Navigate;
        n.url = row.url + "?" + row.data;
    } else if (row.method == "POST") {
        n.action = RowAction::NavigatePost;
        n.url = row.url;
        n.postData = row.data;
        if (row.data.find(kMultipartMarker) != std::string::npos) {
            UrlDecode(n.postData, 0, true);
            // A server cannot split the parts without the boundary, which the stored body
            // holds in its first line.
            std::string boundary = MultipartBoundary(n.postData);
            n.header = "Content-Type: multipart/form-data";
            if (!boundary.empty())
                n.header += "; boundary=" + boundary;
        } else {
            n.header = "Content-Type: application/x-www-form-urlencoded";
        }
    } else if (row.method == "SET") {
        n.action = RowAction::ArmForm;
        n.url = row.url;
        n.postData = row.data;
    }
    return n;
}

void PerformRow(const RowNavigation& n, Browser& browser) {
    switch (n.action) {
        case RowAction::Navigate:
            browser.Navigate(n.url);
            break;
        case RowAction::NavigatePost:
            browser.NavigateWithPost(n.url, n.postData, n.header);
            break;
        case RowAction::ArmForm:
            ArmFormAction(n.url, n.postData);
            break;
        case RowAction::Fetch:
            browser.SendScriptRequest(n.method, n.url, n.postData, n.header);
            break;
        case RowAction::End:
            break;
    }
}

bool WaitAfterRow(Browser& browser, ReplayWaiter& waiter) {
    waiter.Pause(500);
    if (!waiter.WaitUntilNotBusy(browser)) {
        AddMessage(J("ブラウザの読み込みが終わらないため、待つのをやめて次へ進みます"));
        return false;
    }
    return true;
}

namespace {

// The row's entries named like hidden inputs of the page's form for it, with the page's values.
void TakeFreshHiddenFields(Browser& browser, const EventLine& row, RowNavigation& navigation,
                           std::vector<std::string>& notes) {
    std::vector<Browser::FormOnPage> shown;
    std::string charset;
    if (!browser.FormsOnPage(shown, charset))
        return;
    std::vector<PageForm> forms;
    for (const Browser::FormOnPage& f : shown)
        forms.push_back(PageForm{f.action, f.hidden});
    const PageForm* form = FormForRow(forms, row.url);
    RefreshedEntries entries =
        RefreshHiddenEntries(row.data, form ? *form : PageForm{}, FormEncodingName("", charset));
    SayRefreshedEntries(entries, "page", notes);
    if (navigation.action == RowAction::NavigatePost)
        navigation.postData = entries.data;
    else
        navigation.url = row.url + "?" + entries.data;
}

}  // namespace

namespace {

// What a browser replay carries from row to row.
struct BrowserRun {
    std::vector<std::string> lines;  // the event file's
    Browser& browser;
    ReplayWaiter& waiter;
    const RowObserver& observer;
    bool freshHidden;
    std::string pageText;  // the page a row's navigation led to, for the success rule
    EventLine lastSet;     // a SET row's steps run on the next page, reported with this row
    const BrowserMoment* moment = nullptr;
    bool momentDone = false;  // the moment row has been carried out
    int failedLeadRow = 0;    // a lead row that failed, counted from 1
};

// One row on its way through the steps.
struct BrowserRow {
    std::size_t index = 0;
    EventLine row;
    std::string guardKey;
    RowNavigation navigation;
    bool byPage = false;   // the page itself already sent this row's request
    bool settled = false;  // the browser finished within the wait
    LocalTime at;
    std::chrono::steady_clock::time_point started;
    std::vector<std::string> notes;
};

void Report(BrowserRun& run, const EventLine& row, const LocalTime& at, long long ms,
            const std::string& outcome, bool ok, std::vector<std::string> notes = {}) {
    if (!run.observer)
        return;
    RowResult result;
    result.at = at;
    result.method = row.method;
    result.url = row.method == "GET" ? row.url + "?" + row.data : row.url;
    result.outcome = outcome;
    result.milliseconds = ms;
    result.ok = ok;
    result.responseText = run.pageText;
    result.notes = std::move(notes);
    run.observer(result);
}

// Reads row `index` and checks it; false when it ends the replay (said to the observer).
bool ReadBrowserRow(BrowserRun& run, std::size_t index, BrowserRow& row) {
    row.index = index;
    auto notSent = [&](const std::string& why) {
        ReportRowsNotSent(run.lines, index, why, run.observer);
        return false;
    };
    if (!ReadReplayRowOrEnd(run.lines, index, row.row, run.observer, [&](const std::string& why) {
            Report(run, EventLine(), CurrentClock().Now(), 0, why, false);
        }))
        return false;
    if (row.row.method == "SET") {
        row.guardKey = "SET" + row.row.url + row.row.data;
        return true;
    }
    UrlParts parts;
    std::string fault = AddressFault(row.row.url, parts);
    if (!fault.empty())
        return notSent(fault);
    row.guardKey = parts.host + row.row.method + parts.path + row.row.data;
    return true;
}

// The duplicate-post guard, always on for the browser; false when it refused the row.
bool GuardBrowserRow(BrowserRun& run, const BrowserRow& row) {
    if (RunPostGuard(row.guardKey) == GuardResult::Pass)
        return true;
    Report(run, row.row, CurrentClock().Now(), 0, "refused by the duplicate-post guard", false);
    return false;
}

// A page that went on by itself has already sent this row's request: sending it again would
// repeat it (a POST twice). Its own navigation is waited for instead.
void FindPagesOwnNavigation(BrowserRun& run, BrowserRow& row) {
    RowAction action = row.navigation.action;
    if (action == RowAction::ArmForm || action == RowAction::Fetch || row.index == 0)
        return;
    if (run.browser.Busy())
        run.waiter.WaitUntilNotBusy(run.browser);
    row.byPage =
        run.browser.TakePagesOwnNavigation(row.navigation.url, action == RowAction::NavigatePost);
}

void RefreshBrowserRowTokens(BrowserRun& run, BrowserRow& row) {
    if (!run.freshHidden || row.byPage || row.index == 0)
        return;
    RowNavigation& n = row.navigation;
    bool entries =
        n.action == RowAction::NavigatePost || (row.row.method == "GET" && !row.row.data.empty());
    bool multipart = row.row.data.find(kMultipartMarker) != std::string::npos;
    if (entries && !multipart)
        TakeFreshHiddenFields(run.browser, row.row, n, row.notes);
    if (n.action != RowAction::NavigatePost && n.action != RowAction::Fetch)
        return;
    PageTokens page;
    std::string cookies;
    if (!run.browser.PageTokensShown(page.token, page.param, cookies))
        return;
    std::vector<std::string> refreshed;
    if (n.action == RowAction::NavigatePost && !multipart) {
        n.postData = RefreshTokenField(n.postData, false, page, refreshed);
    } else if (n.action == RowAction::Fetch) {
        n.header = RefreshTokenHeaders(n.header, page, cookies, refreshed);
        if (!RowBodyIsPercentEncoded(row.row.headers)) {
            bool json = AsciiLower(RowHeaderValue(row.row.headers, "content-type")).find("json") !=
                        std::string::npos;
            n.postData = RefreshTokenField(n.postData, json, page, refreshed);
        }
    }
    SayRefreshedTokens(refreshed, "page", row.notes);
}

// A POST row, a GET form row and a script row go out as the page shown (or its frame of the
// row's origin) would send them: with its Origin and Referer, never "null" and none. A row
// sent before any page is shown goes as a typed address does.
void SendFromPageShown(BrowserRun& run, const BrowserRow& row) {
    const RowNavigation& n = row.navigation;
    bool post = n.action == RowAction::NavigatePost;
    bool fetch = n.action == RowAction::Fetch;
    bool getForm = n.action == RowAction::Navigate && row.row.method == "GET";
    std::string page = run.browser.LocationURL();
    if ((!post && !fetch && !getForm) || OriginOf(page) == "null")
        return;
    std::vector<std::string> frames;
    if (OriginOf(page) != OriginOf(n.url))
        frames = run.browser.FrameAddresses();
    RequestSource source = SourceOfRow(n.url, page, frames);
    if (source.fromFrame)
        AddMessage(J("この行はページ内の同じオリジンのフレームから送ります: ") + source.page);
    else if (!source.sameOrigin)
        AddMessage(J("表示中のページは行とは別のオリジンです。そのページが送るとおりに送ります: ") +
                   source.page);
    std::string method = post ? "POST" : fetch ? n.method : "GET";
    bool sendsOrigin = method != "GET" && method != "HEAD";
    run.browser.SetNextRequestSource(n.url, method, sendsOrigin ? source.origin : std::string(),
                                     source.referrer);
}

void PerformBrowserRow(BrowserRun& run, const BrowserRow& row) {
    if (row.byPage) {
        AddMessage(J("ページ自身がこの行の要求を送ったため、もう一度は送らずにその読み込みを待"
                     "ちます: ") +
                   row.row.url);
    } else {
        SendFromPageShown(run, row);
        PerformRow(row.navigation, run.browser);
    }
    if (row.navigation.action == RowAction::ArmForm)
        run.lastSet = row.row;
}

// The row's outcome: armed, a script request's answer, or the page's load; whether it worked.
bool ReportBrowserRow(BrowserRun& run, BrowserRow& row) {
    bool succeeded = false;
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - row.started)
                       .count();
    auto report = [&](const std::string& outcome, bool ok) {
        succeeded = ok;
        Report(run, row.row, row.at, ms, outcome, ok, std::move(row.notes));
    };
    if (row.navigation.action == RowAction::ArmForm) {
        report("form action armed", true);
    } else if (row.navigation.action == RowAction::Fetch) {
        Browser::ScriptAnswer answer = run.browser.LastScriptAnswer();
        run.pageText = answer.text;
        if (!row.settled)
            report("timed out", false);
        else if (!answer.answered)
            report("fetch failed: " + (answer.error.empty() ? "no answer" : answer.error), false);
        else
            report("answered " + std::to_string(answer.status) + " " + answer.statusText,
                   answer.status >= 200 && answer.status < 400);
    } else if (!row.settled) {
        // The page never finished: the previous page's result says nothing of this row.
        report("timed out", false);
    } else {
        bool loaded = run.browser.LastLoadSucceeded();
        if (run.observer)
            run.pageText = run.browser.PageText();
        std::string outcome = loaded ? "loaded" : "load failed";
        report(row.byPage ? outcome + " (requested by the page itself)" : outcome, loaded);
    }
    return succeeded;
}

bool IsBrowserLeadRow(const BrowserRun& run, const BrowserRow& row) {
    return run.moment != nullptr && static_cast<int>(row.index) + 1 < run.moment->momentRow;
}

// The moment row waits for its moment; false (the replay ends, the rows from here on said as
// not sent) when a lead row failed.
bool WaitForBrowserMoment(BrowserRun& run, BrowserRow& row) {
    if (run.moment == nullptr || run.momentDone || IsBrowserLeadRow(run, row) ||
        row.navigation.action == RowAction::ArmForm)
        return true;
    run.momentDone = true;
    if (run.failedLeadRow != 0) {
        AddMessage(J("先行行 ") + std::to_string(run.failedLeadRow) +
                   J(" が失敗したため、指定時刻の行を送りません"));
        ReportRowsNotSent(run.lines, row.index,
                          "lead row " + std::to_string(run.failedLeadRow) + " failed",
                          run.observer);
        return false;
    }
    long long left =
        ToEpochMilliseconds(run.moment->at) - ToEpochMilliseconds(CurrentClock().Now());
    if (run.moment->momentRow > 1 && left < 1000) {
        AddMessage(J("先行行の終わりが指定時刻の 1 秒前より遅れました（残り ") +
                   std::to_string(left) + " ms）");
        row.notes.push_back("lead rows ended " + std::to_string(left) +
                            " ms before the moment (later than 1 s before it)");
    }
    run.waiter.WaitUntil(run.moment->at);
    row.at = CurrentClock().Now();
    row.started = std::chrono::steady_clock::now();
    if (run.moment->started)
        run.moment->started(row.at);
    return true;
}

// A SET row's steps that failed on the page after it, each reported with that row.
void ReportFailedFormSteps(BrowserRun& run) {
    for (const std::string& failure : TakeFormActionFailures())
        Report(run, run.lastSet, CurrentClock().Now(), 0, "form action failed: " + failure, false);
}

}  // namespace

void BrowserReplayFile(const std::string& eventFile, Browser& browser, ReplayWaiter& waiter,
                       const RowObserver& observer, bool freshHidden, const BrowserMoment* moment,
                       int fromRow) {
    BrowserRun run{{}, browser, waiter, observer, freshHidden, {}, {}, moment, false, 0};
    if (!ReadEventFileLines(eventFile, run.lines))
        return;
    TakeFormActionFailures();  // those of an earlier replay
    for (std::size_t n = 0; n < run.lines.size(); ++n) {
        if (static_cast<int>(n) + 1 < fromRow)
            continue;
        BrowserRow row;
        if (!ReadBrowserRow(run, n, row) || !GuardBrowserRow(run, row))
            return;
        row.navigation = NavigationForRow(row.row);
        if (row.navigation.action == RowAction::End)
            return;
        row.at = CurrentClock().Now();
        row.started = std::chrono::steady_clock::now();
        FindPagesOwnNavigation(run, row);
        RefreshBrowserRowTokens(run, row);
        if (!WaitForBrowserMoment(run, row))
            return;
        PerformBrowserRow(run, row);
        row.settled = WaitAfterRow(browser, waiter);
        bool ok = ReportBrowserRow(run, row);
        if (IsBrowserLeadRow(run, row) && run.failedLeadRow == 0 && !ok)
            run.failedLeadRow = static_cast<int>(n) + 1;
        ReportFailedFormSteps(run);
    }
}

}  // namespace quillrun
