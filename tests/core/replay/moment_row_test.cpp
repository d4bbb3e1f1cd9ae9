// A login-then-book flow with its booking as the moment row: the lead rows go at once (their
// answers give the booking its fresh token), the moment row's first byte reaches the server at
// the moment, a lead row that fails ends the run before it, and a retry goes from it alone.
#include <gtest/gtest.h>

#include "core/platform/cp932.h"
#include "tests/support/token_site_replay.h"

namespace quillrun {
namespace {

class MomentRowTest : public test::TokenSiteReplayTest {
  protected:
    MomentRowTest() : TokenSiteReplayTest(200) {}
    std::vector<RowResult> Run(const FirstRequestMoment* moment, int fromRow = 1,
                               std::string flow = Flow()) {
        return Replay(flow, true, moment, fromRow);
    }
    static std::string Flow() {
        return "1\tURL\thttp://127.0.0.1/login\t\t\r\n"
               "2\tPOST\thttp://127.0.0.1/login\tcsrf=t9-1&user=me\t\r\n"
               "3\tPOST\thttp://127.0.0.1/book\tcsrf=t9-2&seat=1\t\r\n"
               "4\t\t\t\t\r\n";
    }
};

TEST_F(MomentRowTest, TheLeadRowsGoAheadAndTheBookingLeavesAtTheMomentWithAFreshToken) {
    FirstRequestMoment moment;
    moment.at = FromEpochMilliseconds(ToEpochMilliseconds(CurrentClock().Now()) + 3000);
    moment.momentRow = 3;
    LocalTime written;
    moment.written = [&written](const LocalTime& at) { written = at; };
    std::vector<RowResult> rows = Run(&moment);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].outcome, "HTTP/1.0 200 OK");  // the token came from the lead rows
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 4u);  // two lead rows, the page the login led to, the booking
    long long at = WallMillisecondsOf(moment.at) * 1000;
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_LT(requests[k].firstByteMicroseconds, at - 1000000) << k;  // ended well ahead
    EXPECT_EQ(requests[3].target, "/book");
    EXPECT_GE(requests[3].firstByteMicroseconds, at);  // not before the moment
    EXPECT_LT(requests[3].acceptedMicroseconds, at);   // its connection opened ahead
    EXPECT_GE(ToEpochMilliseconds(written), ToEpochMilliseconds(moment.at));

    // A retry goes from the moment row alone.
    std::vector<RowResult> retry = Run(nullptr, 3);
    ASSERT_EQ(retry.size(), 1u);
    EXPECT_EQ(retry[0].url, "http://127.0.0.1/book");
    EXPECT_EQ(server_.Requests().size(), 5u);
}

TEST_F(MomentRowTest, ALeadRowThatFailsEndsTheRunAndSaysWhich) {
    FirstRequestMoment moment;
    moment.at = FromEpochMilliseconds(ToEpochMilliseconds(CurrentClock().Now()) + 2000);
    moment.momentRow = 3;
    std::string flow = Flow();
    flow.replace(flow.find("/login\tcsrf"), 6, "/gone!");  // a row the site does not know
    std::vector<RowResult> rows = Run(&moment, 1, flow);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].outcome, "row 3 not sent: lead row 2 failed");
    for (const auto& r : server_.Requests())
        EXPECT_NE(r.target, "/book");
    bool said = false;
    for (const std::string& m : Messages())
        said = said || m.find(J("先行行 2")) != std::string::npos;
    EXPECT_TRUE(said);
}

}  // namespace
}  // namespace quillrun
