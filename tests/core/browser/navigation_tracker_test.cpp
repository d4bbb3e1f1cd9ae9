#include "core/browser/navigation_tracker.h"

#include <gtest/gtest.h>

namespace quillrun {

TEST(NavigationTracker, ANavigationThatStartsLateIsWaitedFor) {
    NavigationTracker t;
    EXPECT_FALSE(t.Busy(0));
    t.NavigationRequested(1000);
    // The engine has not yet said it loads: busy all the same, past the 500 ms pause.
    EXPECT_TRUE(t.Busy(1600));
    t.LoadStarted();
    EXPECT_TRUE(t.Busy(1700));
    t.LoadFinished();
    EXPECT_FALSE(t.Busy(1800));
    EXPECT_FALSE(t.Busy(1900));

    // One that never starts holds the replay only up to its limit.
    t.NavigationRequested(2000);
    EXPECT_TRUE(t.Busy(2000 + NavigationTracker::kNavigationStartLimitMilliseconds - 1));
    EXPECT_FALSE(t.Busy(2000 + NavigationTracker::kNavigationStartLimitMilliseconds));

    // A stop ends a wait for a navigation asked for and for one under way.
    t.NavigationRequested(3000);
    t.Stopped();
    EXPECT_FALSE(t.Busy(3001));
    t.NavigationRequested(4000);
    t.LoadStarted();
    t.Stopped();
    EXPECT_FALSE(t.Busy(4001));

    // A jump within the page changes the address without a load.
    t.NavigationRequested(20000);
    t.UrlChangedWithoutLoad();
    EXPECT_FALSE(t.Busy(20001));
}

TEST(NavigationTracker, ANavigationAskedForDuringALoadEndsWithThatLoad) {
    NavigationTracker t;
    t.NavigationRequested(0);
    t.LoadStarted();
    t.NavigationRequested(100);  // the engine folds it into the running load
    t.UrlChangedWithoutLoad();   // an address change while loading is no in-page jump
    EXPECT_TRUE(t.Busy(200));
    t.LoadFinished();
    EXPECT_FALSE(t.Busy(300));
}

TEST(NavigationTracker, AFormActionKeepsItBusyForTheNavigationItStarts) {
    NavigationTracker t;
    t.NavigationRequested(0);
    t.LoadStarted();
    t.LoadFinished();       // the form page is complete...
    t.FormActionCarried(10);  // ...and its SET action submits
    EXPECT_TRUE(t.Busy(600));
    t.FormActionConfirmed(700);  // the script ran late: the second counts from here
    EXPECT_TRUE(t.Busy(1500));
    t.LoadStarted();
    EXPECT_TRUE(t.Busy(5000));
    t.LoadFinished();
    EXPECT_FALSE(t.Busy(5001));

    // A click that starts nothing holds it one second.
    t.FormActionCarried(10000);
    t.FormActionConfirmed(10020);
    EXPECT_TRUE(t.Busy(11019));
    EXPECT_FALSE(t.Busy(11020));
    // A confirmation after the navigation started does not wait again.
    t.FormActionCarried(20000);
    t.LoadStarted();
    t.FormActionConfirmed(20050);
    t.LoadFinished();
    EXPECT_FALSE(t.Busy(20060));
}

}  // namespace quillrun
