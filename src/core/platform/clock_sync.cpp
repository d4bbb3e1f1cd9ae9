#include "core/platform/clock_sync.h"

#include <sys/timex.h>

#include <cstdio>

#include "core/platform/cp932.h"

namespace quillrun {

ClockSync ClockSyncOf(int state, const struct timex& answer) {
    ClockSync sync;
    if (state < 0)
        return sync;
    sync.known = true;
    sync.synchronised = state != TIME_ERROR && (answer.status & STA_UNSYNC) == 0;
    sync.estimatedErrorMicroseconds = answer.esterror;
    sync.maximumErrorMicroseconds = answer.maxerror;
    return sync;
}

ClockSync ReadClockSync() {
    struct timex answer {};
    answer.modes = 0;  // read only
    int state = ::adjtimex(&answer);
    return ClockSyncOf(state, answer);
}

namespace {

std::string Milliseconds(long microseconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%ld.%ld", microseconds / 1000, (microseconds % 1000) / 100);
    return text;
}

}  // namespace

std::string ClockSyncLabel(const ClockSync& sync) {
    if (!sync.known)
        return J("時刻同期: 不明");
    if (!sync.synchronised)
        return J("時刻未同期");
    return J("時刻同期 ±") + Milliseconds(sync.estimatedErrorMicroseconds) + " ms";
}

std::string UnsyncedClockMessage(const ClockSync& sync) {
    if (!sync.known || sync.synchronised)
        return std::string();
    return J(
        "この機械の時計は同期されていません。タスクはこの時計で実行します"
        "（systemd-timesyncd か chrony で同期できます）");
}

std::string ClockSyncReport(const ClockSync& sync) {
    if (!sync.known)
        return "clock: the kernel's synchronisation state cannot be read\n";
    std::string text = sync.synchronised ? "clock: synchronised\n"
                                         : "clock: NOT synchronised (no NTP client keeps it)\n";
    text += "estimated error: " + Milliseconds(sync.estimatedErrorMicroseconds) + " ms\n";
    text += "maximum error: " + Milliseconds(sync.maximumErrorMicroseconds) + " ms\n";
    return text;
}

}  // namespace quillrun
