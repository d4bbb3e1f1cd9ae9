// --at's moment: a time of day is the next such moment, a date and time must lie within a day.
#include "core/tasks/moment_text.h"

#include <gtest/gtest.h>

namespace quillrun {
namespace {

TEST(MomentText, TheNextSuchTimeOrADateWithinADay) {
    LocalTime now{2026, 12, 31, 23, 59, 30, 500};
    LocalTime moment;
    std::string error;
    ASSERT_TRUE(ParseMomentText("23:59:45.25", now, moment, error)) << error;
    EXPECT_EQ(DateTimeText(moment), "2026-12-31 23:59:45.250");
    ASSERT_TRUE(ParseMomentText("10:00", now, moment, error));  // tomorrow's, across the year
    EXPECT_EQ(DateTimeText(moment), "2027-01-01 10:00:00.000");
    ASSERT_TRUE(ParseMomentText("23:49:30.499", now, moment, error));  // over 10 minutes ago
    EXPECT_EQ(DateTimeText(moment), "2027-01-01 23:49:30.499");
    // Now itself and a moment less than 10 minutes ago are a late start, refused or taken.
    EXPECT_FALSE(ParseMomentText("23:59:30.500", now, moment, error));
    EXPECT_FALSE(ParseMomentText("23:57:30", now, moment, error));
    EXPECT_EQ(error, "the moment has passed 120 s ago: 23:57:30 (--late-ok sends at once)");
    EXPECT_FALSE(ParseMomentText("2026-12-31T23:55:00", now, moment, error));
    ASSERT_TRUE(ParseMomentText("23:57:30", now, moment, error, true));
    EXPECT_EQ(DateTimeText(moment), "2026-12-31 23:57:30.000");
    ASSERT_TRUE(ParseMomentText("2027-01-01T00:00:00.001", now, moment, error));
    EXPECT_EQ(DateTimeText(moment), "2027-01-01 00:00:00.001");
    ASSERT_TRUE(ParseMomentText("2027-01-01 23:59:30", now, moment, error));
    for (const char* refused : {"2026-12-31T23:59:30", "2026-12-31T23:39:30", "2027-01-01T23:59:31",
                                "2027-02-29T00:00", "24:00", "12:60", "9:00", "12:00:5",
                                "12:00:00.", "12:00x", "2027-13-01T00:00", "", "soon"}) {
        error.clear();
        EXPECT_FALSE(ParseMomentText(refused, now, moment, error)) << refused;
        EXPECT_FALSE(error.empty()) << refused;
    }
}

}  // namespace
}  // namespace quillrun
