#include "core/browser/navigation_tracker.h"

namespace quillrun {

void NavigationTracker::NavigationRequested(long long now) {
    expect_ = Expect::Navigation;
    since_ = now;
    started_ = loading_;
}

void NavigationTracker::FormActionCarried(long long now) {
    expect_ = Expect::FormNavigation;
    since_ = now;
    started_ = false;
}

void NavigationTracker::FormActionConfirmed(long long now) {
    if (expect_ == Expect::FormNavigation && !started_)
        since_ = now;
}

void NavigationTracker::LoadStarted() {
    loading_ = true;
    if (expect_ != Expect::Nothing)
        started_ = true;
}

void NavigationTracker::LoadFinished() {
    loading_ = false;
}

void NavigationTracker::Stopped() {
    expect_ = Expect::Nothing;
    loading_ = false;
}

void NavigationTracker::UrlChangedWithoutLoad() {
    if (expect_ != Expect::Nothing && !started_ && !loading_)
        expect_ = Expect::Nothing;
}

bool NavigationTracker::Busy(long long now) {
    if (loading_)
        return true;
    if (expect_ == Expect::Nothing)
        return false;
    if (started_) {
        expect_ = Expect::Nothing;
        return false;
    }
    long long limit = expect_ == Expect::Navigation ? kNavigationStartLimitMilliseconds
                                                    : kFormActionStartLimitMilliseconds;
    if (now - since_ >= limit) {
        expect_ = Expect::Nothing;
        return false;
    }
    return true;
}

}  // namespace quillrun
