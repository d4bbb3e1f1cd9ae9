#include "core/platform/clock_sync.h"

#include <gtest/gtest.h>
#include <sys/timex.h>

#include "core/platform/cp932.h"

namespace quillrun {

TEST(ClockSync, TheKernelsAnswerSaysWhetherTheClockIsKeptAndHowWell) {
    struct timex answer {};
    answer.status = 0;
    answer.esterror = 1234;
    answer.maxerror = 56000;
    ClockSync kept = ClockSyncOf(TIME_OK, answer);
    EXPECT_TRUE(kept.known && kept.synchronised);
    EXPECT_EQ(ClockSyncLabel(kept), J("時刻同期 ±1.2 ms"));
    EXPECT_NE(ClockSyncReport(kept).find("estimated error: 1.2 ms"), std::string::npos);

    answer.status = STA_UNSYNC;
    EXPECT_FALSE(ClockSyncOf(TIME_OK, answer).synchronised);
    answer.status = 0;
    ClockSync lost = ClockSyncOf(TIME_ERROR, answer);
    EXPECT_TRUE(lost.known);
    EXPECT_FALSE(lost.synchronised);
    EXPECT_EQ(ClockSyncLabel(lost), J("時刻未同期"));
    EXPECT_NE(ClockSyncReport(lost).find("NOT synchronised"), std::string::npos);
    EXPECT_FALSE(ClockSyncOf(-1, answer).known);
    EXPECT_TRUE(ReadClockSync().known);  // reading needs no privilege
}

}  // namespace quillrun
