// How far a web server's clock is from this machine's, read from the Date header of its
// answers: the header's second changes at a moment of the server's clock, which requests sent
// around it pin down to about the round trip.
#pragma once

#include <functional>
#include <string>

namespace quillrun {

// One request: when it was sent and its answer came (this machine's wall clock, ms since the
// epoch), and the answer's Date (seconds since the epoch).
struct DateSample {
    bool ok = false;
    long long sentMs = 0;
    long long receivedMs = 0;
    long long dateSeconds = 0;
    std::string error;
};

struct ServerClockEstimate {
    bool ok = false;
    std::string error;
    long long offsetMs = 0;       // the server's clock minus ours
    long long uncertaintyMs = 0;  // the offset lies within +- this
    long long roundTripMs = 0;    // the shortest seen
    int requests = 0;
};

struct ServerClockLimits {
    int requests = 60;
    int milliseconds = 15000;
};

using DateSampler = std::function<DateSample()>;
// The estimate from a sampler and the wall clock (tests give their own): coarse steps until the
// Date's second changes, then one request per second aimed at the middle of what is still
// unknown, until that is no wider than the round trip or the limits are reached.
ServerClockEstimate EstimateServerClock(const DateSampler& sample,
                                        const ServerClockLimits& limits = {});

// A Date header value (RFC 7231's IMF-fixdate, also the older forms) as seconds since the epoch.
bool ParseHttpDate(const std::string& value, long long& seconds);

// One HEAD request to the URL (http or https, any port) over the program's own client.
DateSample SampleDate(const std::string& url);

// This machine's wall clock in ms since the epoch.
long long WallNowMs();

}  // namespace quillrun
