// Replay through the embedded browser: each row one navigation (URL, GET with its query, POST
// with its body and content type) or, for SET, the pending form action; a row a page's script
// sent is sent again by fetch() from the page shown. After each row a 500 ms pause and a wait
// until the browser is no longer busy.
#pragma once

#include <functional>
#include <string>

#include "core/browser/browser.h"
#include "core/formats/run_report.h"
#include "core/platform/clock.h"
#include "core/recording/event_line.h"

namespace quillrun {

// How the replay waits while the browser works. The GUI runs its event loop meanwhile.
class ReplayWaiter {
  public:
    virtual ~ReplayWaiter() = default;
    virtual void Pause(int milliseconds) = 0;
    // Until the browser is not busy; false when the wait gave up after its limit.
    virtual bool WaitUntilNotBusy(const Browser& browser) = 0;
    // Until the moment (the GUI's waiter keeps its message loop going meanwhile).
    virtual void WaitUntil(const LocalTime& moment) { WaitForMoment(CurrentClock(), moment); }
};

// The row of a browser replay carried out at a moment: the rows before it (lead rows) go at
// once; when one of them failed, the replay ends before it and says which.
struct BrowserMoment {
    LocalTime at;
    int momentRow = 1;                                      // counted from 1
    std::function<void(const LocalTime& started)> started;  // told when the row starts
};

enum class RowAction { Navigate, NavigatePost, ArmForm, Fetch, End };

struct RowNavigation {
    RowAction action = RowAction::End;
    std::string url;  // held whole: a GET address may pass 260 bytes
    std::string postData;
    std::string header;  // "Content-Type: ..."; a script row's headers field (Fetch)
    std::string method;  // Fetch: the row's method
};

// "scheme://host[:port]" of the file's first row when it is an http or https address the
// browser loads; empty otherwise (a file that cannot be read, a SET row first).
std::string FirstRowOrigin(const std::string& eventFile);

// What a row does in the browser; a method other than the four ends the replay.
RowNavigation NavigationForRow(const EventLine& row);

// Carries the row out in the browser (arming the form action for SET).
void PerformRow(const RowNavigation& navigation, Browser& browser);

// Replays an event file for an IE task, with the duplicate-post guard always on; returns when
// the file is done or the replay ended.
// The observer hears of every row carried out and of the row that ended the replay.
// With freshHidden, a POST row's (or a GET row's) entries named like hidden inputs of the form
// of the page shown take that page's values before the row navigates.
// With a moment, its row is carried out at it; rows before `fromRow` (from 1) are not carried out
// (a retry goes from the moment row).
void BrowserReplayFile(const std::string& eventFile, Browser& browser, ReplayWaiter& waiter,
                       const RowObserver& observer = nullptr, bool freshHidden = false,
                       const BrowserMoment* moment = nullptr, int fromRow = 1);

// The wait after a row: 500 ms, then until the browser is not busy (a message-list line when it
// gave up).
bool WaitAfterRow(Browser& browser, ReplayWaiter& waiter);

}  // namespace quillrun
