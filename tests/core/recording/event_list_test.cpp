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
