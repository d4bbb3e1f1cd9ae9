// --clock: prints the kernel's synchronisation state; 0 when synchronised, else 1.
#include <cstdio>

#include "core/platform/clock_sync.h"
#include "gui/cli/verb.h"

namespace quillrun {

int ClockVerb(const CommandLine&, ProgramStart&) {
    ClockSync sync = ReadClockSync();
    std::fputs(ClockSyncReport(sync).c_str(), stdout);
    return sync.synchronised ? 0 : 1;
}

}  // namespace quillrun
