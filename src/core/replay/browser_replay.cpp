#include "core/replay/browser_replay.h"

#include <chrono>

#include "core/platform/cp932.h"
#include "core/platform/paths.h"
#include "core/recording/form_encoding.h"
#include "core/recording/message_sink.h"
#include "core/replay/form_action.h"
#include "core/replay/fresh_hidden.h"
#include "core/replay/post_guard.h"
#include "core/replay/url_encoding.h"
#include "core/replay/url_split.h"

namespace quillrun {

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

void BrowserReplayFile(const std::string& eventFile, Browser& browser, ReplayWaiter& waiter,
                       const RowObserver& observer, bool freshHidden) {
    std::vector<std::string> lines;
    if (!ReadEventFileLines(eventFile, lines))
        return;
    std::string pageText;  // the page a row's navigation led to, for the success rule
    std::vector<std::string> rowNotes;
    auto report = [&observer, &pageText, &rowNotes](const EventLine& row, const LocalTime& at,
                                                    long long ms, const std::string& outcome,
                                                    bool ok) {
        if (!observer)
            return;
        RowResult result;
        result.at = at;
        result.method = row.method;
        result.url = row.method == "GET" ? row.url + "?" + row.data : row.url;
        result.outcome = outcome;
        result.milliseconds = ms;
        result.ok = ok;
        result.responseText = pageText;
        result.notes = rowNotes;
        rowNotes.clear();
        observer(result);
    };
    auto notSent = [&](std::size_t bad, const std::string& why) {
        ReportRowsNotSent(lines, bad, why, observer);
    };
    // A SET row's steps run on the next page; a step that failed is reported with its row.
    TakeFormActionFailures();
    EventLine lastSet;
    auto reportFailedSteps = [&] {
        for (const std::string& failure : TakeFormActionFailures())
            report(lastSet, CurrentClock().Now(), 0, "form action failed: " + failure, false);
    };
    for (std::size_t n = 0; n < lines.size(); ++n) {
        EventLine row;
        if (!ParseReplayRow(lines[n], row)) {
            if (!IsEventListEnd(lines[n]))
                notSent(n, "it cannot be read as an event");
            return;
        }
        if (RowHoldsControlBytes(row)) {
            AddMessage(DamagedRowMessage(n + 1));
            report(EventLine(), CurrentClock().Now(), 0,
                   "damaged row " + std::to_string(n + 1) + ": control bytes", false);
            return;
        }
        std::string key;
        if (row.method != "SET") {
            UrlParts parts;
            if (!SplitUrl(row.url, parts)) {
                notSent(n, "its URL cannot be read");
                return;
            }
            if (parts.host.size() > kPathWidth - 1) {
                notSent(n, "its host is longer than 259 bytes");
                return;
            }
            key = parts.host + row.method + parts.path + row.data;
        } else {
            key = "SET" + row.url + row.data;
        }
        if (RunPostGuard(key) != GuardResult::Pass) {
            report(row, CurrentClock().Now(), 0, "refused by the duplicate-post guard", false);
            return;
        }
        RowNavigation navigation = NavigationForRow(row);
        if (navigation.action == RowAction::End)
            return;
        LocalTime at = CurrentClock().Now();
        auto started = std::chrono::steady_clock::now();
        // A page that went on by itself has already sent this row's request: sending it again
        // would repeat it (a POST twice). Its own navigation is waited for instead.
        bool byPage = false;
        bool fetch = navigation.action == RowAction::Fetch;
        if (navigation.action != RowAction::ArmForm && !fetch && n > 0) {
            if (browser.Busy())
                waiter.WaitUntilNotBusy(browser);
            byPage = browser.TakePagesOwnNavigation(navigation.url,
                                                    navigation.action == RowAction::NavigatePost);
        }
        bool entries = navigation.action == RowAction::NavigatePost ||
                       (row.method == "GET" && !row.data.empty());
        if (freshHidden && entries && !byPage && n > 0 &&
            row.data.find(kMultipartMarker) == std::string::npos)
            TakeFreshHiddenFields(browser, row, navigation, rowNotes);
        if (byPage) {
            AddMessage(J("ページ自身がこの行の要求を送ったため、もう一度は送らずにその読み込みを待"
                         "ちます: ") +
                       row.url);
        } else {
            PerformRow(navigation, browser);
        }
        if (navigation.action == RowAction::ArmForm)
            lastSet = row;
        bool settled = WaitAfterRow(browser, waiter);
        long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
        if (navigation.action == RowAction::ArmForm) {
            report(row, at, ms, "form action armed", true);
        } else if (fetch) {
            Browser::ScriptAnswer answer = browser.LastScriptAnswer();
            pageText = answer.text;
            if (!settled) {
                report(row, at, ms, "timed out", false);
            } else if (!answer.answered) {
                report(row, at, ms,
                       "fetch failed: " + (answer.error.empty() ? "no answer" : answer.error),
                       false);
            } else {
                std::string status = std::to_string(answer.status) + " " + answer.statusText;
                report(row, at, ms, "answered " + status,
                       answer.status >= 200 && answer.status < 400);
            }
        } else if (!settled) {
            // The page never finished: the previous page's result says nothing of this row.
            report(row, at, ms, "timed out", false);
        } else {
            bool loaded = browser.LastLoadSucceeded();
            if (observer)
                pageText = browser.PageText();
            std::string outcome = loaded ? "loaded" : "load failed";
            report(row, at, ms, byPage ? outcome + " (requested by the page itself)" : outcome,
                   loaded);
        }
        reportFailedSteps();
    }
}

}  // namespace quillrun
