#include "core/replay/server_clock.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/platform/tcp_client.h"
#include "core/replay/socket_sender.h"
#include "core/web/url_endpoint.h"
#include "core/web/url_split.h"

namespace quillrun {
namespace {

void SleepUntilWall(long long ms) {
    long long left = ms - WallNowMs();
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

// The Date header's value of a response, or "".
std::string DateHeader(const std::string& response) {
    std::size_t end = response.find("\r\n\r\n");
    std::string head = response.substr(0, end);
    std::size_t pos = 0;
    while ((pos = head.find("\n", pos)) != std::string::npos) {
        ++pos;
        if (head.size() - pos > 5 && strncasecmp(head.c_str() + pos, "date:", 5) == 0) {
            std::size_t stop = head.find('\r', pos);
            std::string value = head.substr(
                pos + 5, stop == std::string::npos ? std::string::npos : stop - pos - 5);
            value.erase(0, value.find_first_not_of(" \t"));
            return value;
        }
    }
    return std::string();
}

}  // namespace

long long WallNowMs() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ParseHttpDate(const std::string& value, long long& seconds) {
    struct tm parts {};
    const char* formats[] = {"%a, %d %b %Y %H:%M:%S GMT", "%A, %d-%b-%y %H:%M:%S GMT",
                             "%a %b %d %H:%M:%S %Y"};
    for (const char* format : formats) {
        std::memset(&parts, 0, sizeof(parts));
        const char* end = strptime(value.c_str(), format, &parts);
        if (end != nullptr && *end == '\0') {
            seconds = static_cast<long long>(timegm(&parts));
            return true;
        }
    }
    return false;
}

DateSample SampleDate(const std::string& url) {
    DateSample sample;
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        sample.error = "not a URL: " + url;
        return sample;
    }
    Endpoint target = EndpointOf(url, parts.host);
    target.port = ConnectPort(target, false, 0);
    // The path as the URL writes it (it starts with "/"); a fragment stays with the page.
    std::string path = parts.path.substr(0, parts.path.find('#'));
    std::string request = "HEAD " + path + " HTTP/1.0\r\nUser-Agent: Tindrel/2.0\r\nHost: " +
                          HostHeaderValue(target) + "\r\n\r\n";
    TcpConnection connection;
    NetTimeouts limits;
    limits.connectMilliseconds = 5000;
    limits.idleMilliseconds = 5000;
    // Connected first: the round trip measured is the request's own.
    if (!connection.Connect(target.host, target.port, limits) ||
        (target.tls && !connection.StartTls(target.host))) {
        sample.error = connection.failure() == NetFailure::Resolve ? "host not found"
                       : connection.failureDetail().empty()        ? "cannot connect"
                                                                   : connection.failureDetail();
        return sample;
    }
    sample.sentMs = WallNowMs();
    bool sent = connection.SendAll(request);
    std::string response = sent ? connection.ReceiveUpTo(kReceiveLimit) : std::string();
    sample.receivedMs = WallNowMs();
    std::string date = DateHeader(response);
    if (response.empty()) {
        sample.error = "no answer";
    } else if (date.empty()) {
        sample.error = "the answer has no Date header";
    } else if (!ParseHttpDate(date, sample.dateSeconds)) {
        sample.error = "unreadable Date header: " + date;
    } else {
        sample.ok = true;
    }
    return sample;
}

ServerClockEstimate EstimateServerClock(const DateSampler& sample,
                                        const ServerClockLimits& limits) {
    ServerClockEstimate estimate;
    long long started = WallNowMs();
    long long deadline = started + limits.milliseconds;
    auto take = [&](DateSample& s) {
        s = sample();
        ++estimate.requests;
        if (s.ok) {
            long long trip = s.receivedMs - s.sentMs;
            if (estimate.roundTripMs == 0 || trip < estimate.roundTripMs)
                estimate.roundTripMs = std::max(trip, 0LL);
        }
        return s.ok;
    };
    DateSample previous;
    if (!take(previous)) {
        estimate.error = previous.error;
        return estimate;
    }
    // Coarse: a request every 100 ms (or every round trip, when longer) until the second
    // changes. The change (to `crossing`) came after the earlier request was sent and no later
    // than the later answer came.
    long long step = 100;
    DateSample next;
    for (;;) {
        if (estimate.requests >= limits.requests || WallNowMs() >= deadline) {
            estimate.error = "the Date header did not change its second in time";
            return estimate;
        }
        SleepUntilWall(previous.sentMs + step);
        if (!take(next)) {
            estimate.error = next.error;
            return estimate;
        }
        if (next.dateSeconds != previous.dateSeconds)
            break;
        previous = next;
    }
    long long crossingSecond = next.dateSeconds;  // the server read this from `crossing` on
    long long low = previous.sentMs, high = next.receivedMs;
    // Fine: each later second changes 1000 ms later; aim a request's middle at the middle of
    // what is still unknown and keep the half that its answer leaves.
    while (high - low > std::max<long long>(estimate.roundTripMs, 2) &&
           estimate.requests < limits.requests) {
        long long middle = (low + high) / 2;
        long long k = 1;
        while (middle + 1000 * k - estimate.roundTripMs / 2 <= WallNowMs() + 5)
            ++k;
        long long at = middle + 1000 * k - estimate.roundTripMs / 2;
        if (at + estimate.roundTripMs > deadline)
            break;
        SleepUntilWall(at);
        DateSample probe;
        if (!take(probe))
            break;
        long long shift = 1000 * k;
        if (probe.dateSeconds >= crossingSecond + k)
            high = std::min(high, probe.receivedMs - shift);
        else
            low = std::max(low, probe.sentMs - shift);
    }
    long long crossing = (low + high) / 2;
    estimate.ok = true;
    estimate.offsetMs = crossingSecond * 1000 - crossing;
    estimate.uncertaintyMs = (high - low + 1) / 2;
    return estimate;
}

}  // namespace quillrun
