// JUnit reports: one suite per try, one case per row and one for the success rule, the texts
// escaped and the bytes XML cannot hold left out.
#include "core/formats/junit.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_folder.h"

namespace quillrun {
namespace {

// The layout both the Ant schema and Jenkins' accept.
TEST(JUnitReport, TriesRowsAndTheRuleInTheLayoutStrictConsumersAccept) {
    std::vector<JUnitTry> tries(2);
    RowResult ok;
    ok.method = "GET";
    ok.url = "http://h/<a>&\"\x82\xa0";  // CP932 in the row, UTF-8 in the report
    ok.outcome = "HTTP/1.0 200 OK";
    ok.ok = true;
    ok.milliseconds = 12;
    ok.at = LocalTime{2026, 12, 9, 10, 0, 0, 250};
    RowResult refused = ok;
    refused.ok = false;
    refused.outcome = "HTTP/1.0 403 <Forbidden> \x01x";
    refused.milliseconds = 1234;
    tries[0].rows = {ok, refused};
    tries[0].verdict.reason = "status 403";
    tries[1].rows = {ok};
    tries[1].verdict.success = true;
    const std::string name = "f&amp;&quot;x&quot;.evf";
    const std::string url = "http://h/&lt;a&gt;&amp;&quot;\xe3\x81\x82";
    std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<testsuites>\n"
        "  <testsuite name=\"" +
        name +
        " try 1\" tests=\"3\" failures=\"2\" errors=\"0\" time=\"1.246\" "
        "timestamp=\"2026-12-09T10:00:00\" hostname=\"ci-7\" id=\"0\" package=\"quillrun\">\n"
        "    <properties/>\n"
        "    <testcase classname=\"" +
        name + " try 1\" name=\"1 GET " + url +
        "\" time=\"0.012\"/>\n"
        "    <testcase classname=\"" +
        name + " try 1\" name=\"2 GET " + url +
        "\" time=\"1.234\">\n"
        "      <failure message=\"HTTP/1.0 403 &lt;Forbidden&gt; x\" type=\"row\">HTTP/1.0 403 "
        "&lt;Forbidden&gt; x</failure>\n"
        "    </testcase>\n"
        "    <testcase classname=\"" +
        name +
        " try 1\" name=\"success rule\" time=\"0\">\n"
        "      <failure message=\"status 403\" type=\"rule\">status 403</failure>\n"
        "    </testcase>\n"
        "    <system-out/>\n"
        "    <system-err/>\n"
        "  </testsuite>\n"
        "  <testsuite name=\"" +
        name +
        " try 2\" tests=\"2\" failures=\"0\" errors=\"0\" time=\"0.012\" "
        "timestamp=\"2026-12-09T10:00:00\" hostname=\"ci-7\" id=\"1\" package=\"quillrun\">\n"
        "    <properties/>\n"
        "    <testcase classname=\"" +
        name + " try 2\" name=\"1 GET " + url +
        "\" time=\"0.012\"/>\n"
        "    <testcase classname=\"" +
        name +
        " try 2\" name=\"success rule\" time=\"0\"/>\n"
        "    <system-out/>\n"
        "    <system-err/>\n"
        "  </testsuite>\n"
        "</testsuites>\n";
    EXPECT_EQ(JUnitReportXml("f&\"x\".evf", tries, "ci-7"), expected);
}

// Against both readers' schemas, with xmllint (Debian's libxml2-utils) where it is installed.
TEST(JUnitReport, ValidatesAgainstTheAntAndTheJenkinsSchemas) {
    if (std::system("command -v xmllint > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed";
    test::TempFolder dir;
    RowResult row;
    row.method = "POST";
    row.url = "http://h/book.cgi";
    row.outcome = "HTTP/1.0 403 Forbidden";
    row.at = LocalTime{2026, 12, 9, 10, 0, 0, 1};
    std::vector<JUnitTry> tries(2);
    tries[0].rows = {row};
    tries[0].verdict.reason = "status 403";
    row.ok = true;
    tries[1].rows = {row};
    tries[1].verdict.success = true;
    for (const std::string& host : {std::string("ci-7.example"), std::string()}) {
        test::WriteFile(dir / "report.xml", JUnitReportXml("book <1>.evf", tries, host));
        for (const char* schema : {"junit-ant.xsd", "junit-jenkins.xsd"}) {
            std::string command = std::string("xmllint --noout --schema " QUILLRUN_TEST_SUPPORT_DIR
                                              "schemas/") +
                                  schema + " " + (dir / "report.xml") + " 2>/dev/null";
            EXPECT_EQ(std::system(command.c_str()), 0) << schema;
        }
    }
}

}  // namespace
}  // namespace quillrun
