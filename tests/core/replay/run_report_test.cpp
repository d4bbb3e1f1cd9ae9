#include "core/replay/run_report.h"

#include <gtest/gtest.h>

namespace quillrun {

TEST(RunReport, StatusLinesAndTheRowLine) {
    EXPECT_EQ(StatusLineOf("HTTP/1.0 302 Found\r\nLocation: /\r\n\r\n"), "HTTP/1.0 302 Found");
    EXPECT_EQ(StatusLineOf(""), "(no response)");
    EXPECT_EQ(StatusLineOf(std::string("HTTP/1.0 200 \0K", 15)), "HTTP/1.0 200  K");
    EXPECT_TRUE(IsSuccessStatus("HTTP/1.1 204 No Content"));
    EXPECT_TRUE(IsSuccessStatus("HTTP/1.0 200"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 404 Not Found"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 2"));
    EXPECT_FALSE(IsSuccessStatus("HTTP/1.0 2000 Odd"));
    EXPECT_FALSE(IsSuccessStatus("200 OK"));
    RowResult row;
    row.at = LocalTime{2026, 12, 6, 9, 30, 0, 7};
    row.method = "GET";
    row.url = "http://h/a?q=1";
    row.outcome = "HTTP/1.0 200 OK";
    row.bytes = 120;
    row.milliseconds = 15;
    EXPECT_EQ(FormatRowResult(row),
              "2026-12-06 09:30:00.007 GET http://h/a?q=1 HTTP/1.0 200 OK 120 bytes 15 ms");
}

}  // namespace quillrun
