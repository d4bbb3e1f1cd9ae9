// The replay's waits on the user-interface thread: a local event loop runs meanwhile, so the
// browser can load and report, and nothing spins.
#pragma once

#include "core/platform/clock.h"
#include "core/replay/browser_replay.h"

namespace quillrun {

// Runs the event loop until the program's clock reads `moment` (a precise timer, then the last
// fraction of a millisecond slept off).
void WaitOnEventLoopUntil(const LocalTime& moment);

class EventLoopWaiter : public ReplayWaiter {
  public:
    // A browser still busy after this long is no longer waited for.
    static constexpr int kBusyLimitMilliseconds = 120000;

    explicit EventLoopWaiter(int busyLimitMilliseconds = kBusyLimitMilliseconds)
        : busyLimit_(busyLimitMilliseconds) {}
    void Pause(int milliseconds) override;
    bool WaitUntilNotBusy(const Browser& browser) override;
    void WaitUntil(const LocalTime& moment) override { WaitOnEventLoopUntil(moment); }

  private:
    int busyLimit_;
};

}  // namespace quillrun
