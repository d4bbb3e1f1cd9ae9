#include "core/formats/junit.h"

#include <cstdio>

#include "core/formats/xml_writer.h"
#include "core/platform/clock.h"
#include "core/platform/cp932.h"

namespace quillrun {
namespace {

std::string Seconds(long long milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

struct Totals {
    int tests = 0;
    int failures = 0;
    long long milliseconds = 0;
};

Totals TotalsOf(const JUnitTry& one) {
    Totals t;
    t.tests = static_cast<int>(one.rows.size()) + 1;  // the rows and the success rule
    for (const RowResult& row : one.rows) {
        t.milliseconds += row.milliseconds;
        t.failures += row.ok ? 0 : 1;
    }
    t.failures += one.verdict.success ? 0 : 1;
    return t;
}

// When the try began (its first row), local time without a zone as the Ant schema has it.
std::string Timestamp(const JUnitTry& one) {
    LocalTime at = one.rows.empty() ? CurrentClock().Now() : one.rows.front().at;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", at.year, at.month, at.day,
                  at.hour, at.minute, at.second);
    return text;
}

// A testcase, with its failure when it failed.
void TestCase(XmlWriter& xml, const std::string& suite, const std::string& name,
              const std::string& time, bool ok, const std::string& why, const char* type) {
    XmlWriter::Attributes attributes{{"classname", suite}, {"name", name}, {"time", time}};
    if (ok) {
        xml.Empty("testcase", attributes);
        return;
    }
    xml.Open("testcase", attributes);
    xml.Leaf("failure", {{"message", why}, {"type", type}}, why);
    xml.Close();
}

}  // namespace

std::string JUnitReportXml(const std::string& name, const std::vector<JUnitTry>& tries,
                           const std::string& host) {
    // What both the Ant schema and Jenkins' accept: a bare <testsuites>, and each suite with
    // its time stamp (no zone), host, number and package, its properties and its outputs.
    XmlWriter xml;
    xml.Open("testsuites", {});
    for (std::size_t t = 0; t < tries.size(); ++t) {
        const JUnitTry& one = tries[t];
        Totals totals = TotalsOf(one);
        std::string suite = name + (tries.size() > 1 ? " try " + std::to_string(t + 1) : "");
        xml.Open("testsuite", {{"name", suite},
                               {"tests", std::to_string(totals.tests)},
                               {"failures", std::to_string(totals.failures)},
                               {"errors", "0"},
                               {"time", Seconds(totals.milliseconds)},
                               {"timestamp", Timestamp(one)},
                               {"hostname", host.empty() ? "localhost" : host},
                               {"id", std::to_string(t)},
                               {"package", "quillrun"}});
        xml.Empty("properties", {});
        for (std::size_t k = 0; k < one.rows.size(); ++k) {
            const RowResult& row = one.rows[k];
            // Rows' methods and URLs are CP932 in the file; the report is UTF-8.
            std::string caseName =
                std::to_string(k + 1) + " " + Cp932ToUtf8(row.method) + " " + Cp932ToUtf8(row.url);
            TestCase(xml, suite, caseName, Seconds(row.milliseconds), row.ok, row.outcome, "row");
        }
        TestCase(xml, suite, "success rule", "0", one.verdict.success, one.verdict.reason, "rule");
        xml.Empty("system-out", {});
        xml.Empty("system-err", {});
        xml.Close();
    }
    return xml.Take();
}

}  // namespace quillrun
