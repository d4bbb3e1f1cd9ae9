#include "core/recording/event_list.h"

#include <gtest/gtest.h>

#include "core/platform/paths.h"
#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

std::vector<std::string> Column(const EventList& list, int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < list.RowCount(); ++r)
        cells.push_back(list.Cell(r, column));
    return cells;
}

using Cells = std::vector<std::string>;

}  // namespace

TEST(EventLine, FieldsComeFromBetweenTheFirstFourTabsOfOneLineOnly) {
    EventLine e;
    ASSERT_TRUE(ParseEventLine("7\tPOST\thttp://h/x.cgi\ta=1\t\n", e));
    EXPECT_EQ(e.method, "POST");
    EXPECT_EQ(e.url, "http://h/x.cgi");
    EXPECT_EQ(e.data, "a=1");
    ASSERT_TRUE(ParseEventLine("1\tGET\thttp://h/\n", e));  // two tabs: no data field
    EXPECT_EQ(e.url, "http://h/");
    EXPECT_EQ(e.data, "");
    ASSERT_TRUE(ParseEventLine("1\tLONGER\t", e));
    EXPECT_EQ(e.method, "LONG");  // cut to the method width
    EXPECT_FALSE(ParseEventLine("no tabs here\n", e));
    EXPECT_FALSE(ParseEventLine("\n", e));

    std::string longData(40000, 'd');
    ASSERT_TRUE(ParseEventLine("1\tPOST\tu\t" + longData + "\t", e));
    EXPECT_EQ(e.data.size(), kDataWidth - 1);

    // A URL longer than 259 bytes is kept whole, up to the data's width.
    std::string longUrl = "http://h/" + std::string(5000, 'p');
    ASSERT_TRUE(ParseEventLine("1\tGET\t" + longUrl + "\t" + longData + "\t", e));
    EXPECT_EQ(e.url, longUrl);
    EXPECT_EQ(e.data.size(), kDataWidth - 1);

    // A text-mode reader sees CR LF as "\n" and takes at most kEventLineRead bytes at a time.
    auto lines = SplitEventFileLines("a\tb\r\nc\n" + std::string(kEventLineRead + 6, 'x'));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a\tb\n");
    EXPECT_EQ(lines[1], "c\n");
    EXPECT_EQ(lines[2].size(), kEventLineRead);
    EXPECT_EQ(lines[3].size(), 6u);
}

TEST(EventList, EventFileRoundTripsByteForByte) {
    test::TempFolder dir;
    EventList list;
    list.AppendEmptyPair();
    ASSERT_TRUE(list.SaveEventFile(dir / "empty.evf"));
    EXPECT_EQ(test::ReadFile(dir / "empty.evf"), "1\t\t\t\t\r\n");
    ASSERT_TRUE(list.LoadEventFile(dir / "empty.evf"));
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Cell(0, 0), "");

    std::string file =
        "1\tPOST\thttp://h/x.cgi\ta=1&b=%82%A0\t\r\n"
        "2\tGET\thttp://h/s\tq=1\t\r\n"
        "3\tSET\thttp://h/s\tinput=q:abc,click=go\t\r\n"
        "4\t\t\t\t\r\n";
    test::WriteFile(dir / "a.evf", file);
    ASSERT_TRUE(list.LoadEventFile(dir / "a.evf"));
    EXPECT_EQ(Column(list, 0), (Cells{"000001", "", "000002", "", "000003", "", "", ""}));
    EXPECT_EQ(Column(list, 1), (Cells{"POST", "", "GET", "", "SET", "", "", ""}));
    ASSERT_TRUE(list.SaveEventFile(dir / "b.evf"));
    EXPECT_EQ(test::ReadFile(dir / "b.evf"), file);

    // A long URL and a full body are saved and read back whole.
    std::string longUrl = "http://h/" + std::string(3000, 'u');
    std::string fullData(kDataWidth - 1, 'd');
    list.SetEvent(0, kMethodPost, longUrl, fullData);
    ASSERT_TRUE(list.SaveEventFile(dir / "c.evf"));
    EXPECT_EQ(test::ReadFile(dir / "c.evf").substr(0, 7 + longUrl.size() + 2),
              "1\tPOST\t" + longUrl + "\td");
    EventList again;
    ASSERT_TRUE(again.LoadEventFile(dir / "c.evf"));
    EXPECT_EQ(again.UrlOf(0), longUrl);
    EXPECT_EQ(again.DataOf(0), fullData);
    EXPECT_EQ(again.MethodOf(1), "GET");
}

TEST(EventList, LoadRenumbersSkipsUnknownMethodsAndStopsAtABlankLine) {
    test::TempFolder dir;
    test::WriteFile(dir / "a.evf",
                    "7\tURL\thttp://h/a\t\t\r\n"
                    "3\tPUT\thttp://h/b\t\t\r\n"
                    "3\tget\thttp://h/b\t\t\r\n"
                    "9\tGET\thttp://h/c\tq=1\t\r\n");
    EventList list;
    ASSERT_TRUE(list.LoadEventFile(dir / "a.evf"));
    EXPECT_EQ(Column(list, 0), (Cells{"000001", "", "000002", "", "", ""}));
    EXPECT_EQ(list.UrlOf(1), "http://h/c");

    test::WriteFile(dir / "b.evf", "1\tURL\thttp://h/a\t\t\r\n\r\n2\tURL\thttp://h/b\t\t\r\n");
    EXPECT_FALSE(list.LoadEventFile(dir / "b.evf"));
    EXPECT_EQ(list.RowCount(), 2);  // the first event, and no empty pair
    EXPECT_EQ(list.MethodOf(0), "URL");

    EXPECT_FALSE(list.LoadEventFile(dir / "missing.evf"));
    EXPECT_EQ(list.RowCount(), 2);  // untouched
}

TEST(EventList, DeleteMovesLaterEventsUpAndKeepsNumbersByPosition) {
    EventList list;
    list.AddEvent(kMethodUrl, "http://h/1", "");
    list.AddEvent(kMethodGet, "http://h/2", "q=2");
    list.AddEvent(kMethodPost, "http://h/3", "p=3");
    list.AppendEmptyPair();
    list.DeleteEvent(0);
    EXPECT_EQ(list.RowCount(), 8);
    list.DeleteEvent(2);
    EXPECT_EQ(Column(list, 0), (Cells{"000001", "", "000002", "", "", ""}));
    EXPECT_EQ(list.UrlOf(1), "http://h/3");
    EXPECT_EQ(list.DataOf(1), "p=3");
    list.DeleteEvent(2);  // the last event: the empty pair moves up, its number cleared
    EXPECT_EQ(Column(list, 0), (Cells{"000001", "", "", ""}));
    EXPECT_EQ(list.MethodOf(1), "");
    list.DeleteEvent(5);  // beyond the list: nothing
    EXPECT_EQ(list.RowCount(), 4);
}

TEST(EventList, TakeOverGoesThroughTheHandOverFile) {
    test::TempFolder dir;
    dir.MakeProgramFolders();
    std::string saved = ProgramFolder();
    SetProgramFolder(dir.Path());
    EventList recorded;
    recorded.AddEvent(kMethodPost, "http://h/x", "a=1");
    EventList task;
    int changes = 0;
    task.SetChangeListener([&] { ++changes; });
    EXPECT_TRUE(task.TakeOverEvents(recorded));
    EXPECT_EQ(test::ReadFile(dir / "event/to_task.evf"), "1\tPOST\thttp://h/x\ta=1\t\r\n");
    EXPECT_EQ(task.RowCount(), 4);  // the event and a new empty pair
    EXPECT_EQ(changes, 1);
    SetProgramFolder(saved);
}

}  // namespace quillrun

namespace quillrun {

TEST(EventList, ScriptRowsKeepTheirHeadersAndMethodsAndOldFilesStayAsTheyWere) {
    test::TempFolder dir;
    // A file of today's rows beside script rows: every byte comes back.
    std::string headers = std::string("Content-Type: application/json") + kHeaderSeparator +
                          "X-CSRF-Token: \x82\xA0z9";
    std::string file =
        "1\tURL\thttp://h/app\t\t\r\n"
        "2\tPOST\thttp://h/api/items?v=2\t{\"name\":\"\x8D\x82\x8B\xB4\"}\t" +
        headers +
        "\t\r\n"
        "3\tPATCH\thttp://h/api/items/7\t{\"n\":1}\tContent-Type: application/json\t\r\n"
        "4\tDELETE\thttp://h/api/items/7\t\tX-Requested-With: XMLHttpRequest\t\r\n"
        "5\tPUT\thttp://h/api/p\tx\tOrigin: http://h\t\r\n"
        "6\t\t\t\t\r\n";
    test::WriteFile(dir / "s.evf", file);
    EventList list;
    ASSERT_TRUE(list.LoadEventFile(dir / "s.evf"));
    EXPECT_EQ(list.MethodOf(2), "PATCH");
    EXPECT_EQ(list.HeadersOf(1), headers);
    list.DeleteEvent(1);  // the headers move up with their rows
    EXPECT_EQ(list.HeadersOf(0), headers);
    EXPECT_EQ(list.HeadersOf(3), "Origin: http://h");
    ASSERT_TRUE(list.LoadEventFile(dir / "s.evf"));
    ASSERT_TRUE(list.SaveEventFile(dir / "t.evf"));
    EXPECT_EQ(test::ReadFile(dir / "t.evf"), file);

    // A reader of four fields reads the first four of a line with headers.
    EventLine e;
    ASSERT_TRUE(ParseEventLine("2\tPOST\thttp://h/api\t{}\t" + headers + "\t\n", e));
    EXPECT_EQ(e.data, "{}");
    EXPECT_TRUE(IsScriptRow(e));
    EXPECT_EQ(RowHeaderValue(e.headers, "x-csrf-token"), "\x82\xA0z9");
    ASSERT_TRUE(ParseEventLine("1\tPOST\thttp://h/x\ta=1\t\n", e));
    EXPECT_FALSE(IsScriptRow(e));
    EXPECT_EQ(e.headers, "");
    // Other long method texts, and script methods without headers, are cut and unknown as they
    // always were.
    ASSERT_TRUE(ParseEventLine("1\tPATCHY\tu\t\tOrigin: http://h\t", e));
    EXPECT_EQ(e.method, "PATC");
    ASSERT_TRUE(ParseEventLine("1\tDELETE\tu\t\t", e));
    EXPECT_EQ(e.method, "DELE");
    test::WriteFile(dir / "old.evf",
                    "1\tPUT\thttp://h/b\t\t\r\n2\tPUT\thttp://h/c\t\tOrigin: x\t\r\n");
    ASSERT_TRUE(list.LoadEventFile(dir / "old.evf"));
    EXPECT_EQ(list.PairCount(), 2);  // the script row and the empty pair
    EXPECT_EQ(list.UrlOf(0), "http://h/c");

    // A separator is no control byte of a row; a bare CR in a header is.
    ASSERT_TRUE(ParseEventLine("1\tPOST\tu\t{}\t" + headers + "\t\n", e));
    EXPECT_FALSE(RowHoldsControlBytes(e));
    e.headers += "\rX: 1";
    EXPECT_TRUE(RowHoldsControlBytes(e));
}

TEST(EventLine, HeaderEntriesAreJoinedOnlyWhenTheyAreHttpHeaders) {
    std::string field, error;
    ASSERT_TRUE(JoinRowHeaders({{"Content-Type", " text/plain;charset=UTF-8 "}, {"X-A", ""}}, field,
                               error));
    EXPECT_EQ(field,
              std::string("Content-Type: text/plain;charset=UTF-8") + kHeaderSeparator + "X-A: ");
    EXPECT_EQ(SplitRowHeaders(field),
              (HeaderEntries{{"Content-Type", "text/plain;charset=UTF-8"}, {"X-A", ""}}));
    EXPECT_FALSE(JoinRowHeaders({{"Bad Name", "v"}}, field, error));
    EXPECT_NE(error.find("Bad Name"), std::string::npos);
    EXPECT_FALSE(JoinRowHeaders({{"X-Tab", "a\tb"}}, field, error));
    EXPECT_FALSE(JoinRowHeaders({{"X-Nl", "a\nb"}}, field, error));
    EXPECT_FALSE(JoinRowHeaders({{"X-Big", std::string(kHeadersWidth, 'v')}}, field, error));
    // Unchanged by a refusal.
    EXPECT_EQ(SplitRowHeaders(field).size(), 2u);
}

}  // namespace quillrun
