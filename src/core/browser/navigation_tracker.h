// When the browser counts as busy for a replay: from the moment a row asks it to navigate until
// that navigation has finished, not only while the engine says it is loading. A navigation that
// starts late is thus never overtaken by the next row, and the form that a SET row submits is
// never cancelled by the next row's navigation.
#pragma once

namespace quillrun {

class NavigationTracker {
  public:
    // A navigation asked for that has not started after this long is taken as one that never
    // will (an address the engine does not load); the wait ends.
    static constexpr long long kNavigationStartLimitMilliseconds = 10000;
    // A click or submit of a form action that starts no navigation within this long started
    // none (a button that only runs a script).
    static constexpr long long kFormActionStartLimitMilliseconds = 1000;

    // A row navigates (times in milliseconds on any steady clock). Asked for while a load is
    // under way, the engine folds it into that load: its end is the new navigation's end.
    void NavigationRequested(long long now);
    // A form action clicked or submitted; a navigation may follow.
    void FormActionCarried(long long now);
    // The script of that form action has run: its clicks and submits have been made, so the
    // time for a navigation to start counts from now (unless one has already started).
    void FormActionConfirmed(long long now);
    // The engine began and ended loading the top document (its loadStarted and loadFinished).
    void LoadStarted();
    void LoadFinished();
    // The user stopped the browser: whatever was asked for or loading has ended.
    void Stopped();
    // The top address changed without a load (a jump within the page).
    void UrlChangedWithoutLoad();

    // Busy while the engine loads, and while an asked-for navigation has not yet started
    // (within its limit). Calling it ends a wait whose navigation has finished.
    bool Busy(long long now);

  private:
    enum class Expect { Nothing, Navigation, FormNavigation };
    Expect expect_ = Expect::Nothing;
    long long since_ = 0;
    bool started_ = false;
    bool loading_ = false;
};

}  // namespace quillrun
