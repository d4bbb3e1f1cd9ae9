// --server-clock URL: prints how far the server's clock is from this one; 1 when no estimate
// could be made.
#include <cstdio>

#include "core/replay/server_clock.h"
#include "gui/cli/verb.h"

namespace quillrun {

int ServerClockVerb(const CommandLine& line, ProgramStart&) {
    const std::string& url = line.url;
    ServerClockEstimate estimate = EstimateServerClock([&url] { return SampleDate(url); });
    if (!estimate.ok) {
        std::fprintf(stderr, "quillrun: --server-clock: %s\n", estimate.error.c_str());
        return 1;
    }
    std::printf("server clock - this clock: %+lld ms (+- %lld ms)\n", estimate.offsetMs,
                estimate.uncertaintyMs);
    std::printf("round trip: %lld ms, requests: %d\n", estimate.roundTripMs, estimate.requests);
    std::printf("to act at the server's second 0, give the task the offset %+lld ms\n",
                -estimate.offsetMs);
    return 0;
}

}  // namespace quillrun
