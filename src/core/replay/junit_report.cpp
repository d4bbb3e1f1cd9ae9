#include "core/replay/junit_report.h"

#include <cstdio>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

// Text as XML character data: markup escaped, bytes XML cannot hold (control bytes other than
// tab and line breaks) left out.
std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (u >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                    out += c;
                break;
        }
    }
    return out;
}

std::string Seconds(long long milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

}  // namespace

std::string JUnitReportXml(const std::string& name, const std::vector<JUnitTry>& tries) {
    std::string body;
    int allTests = 0, allFailures = 0;
    long long allMs = 0;
    for (std::size_t t = 0; t < tries.size(); ++t) {
        const JUnitTry& one = tries[t];
        int failures = 0;
        long long ms = 0;
        std::string cases;
        std::string suite = name + (tries.size() > 1 ? " try " + std::to_string(t + 1) : "");
        for (std::size_t k = 0; k < one.rows.size(); ++k) {
            const RowResult& row = one.rows[k];
            ms += row.milliseconds;
            // Rows' methods and URLs are CP932 in the file; the report is UTF-8.
            std::string caseName =
                std::to_string(k + 1) + " " + Cp932ToUtf8(row.method) + " " + Cp932ToUtf8(row.url);
            cases += "    <testcase classname=\"" + Xml(suite) + "\" name=\"" + Xml(caseName) +
                     "\" time=\"" + Seconds(row.milliseconds) + "\"";
            if (row.ok) {
                cases += "/>\n";
            } else {
                ++failures;
                cases += ">\n      <failure message=\"" + Xml(row.outcome) + "\" type=\"row\">" +
                         Xml(row.outcome) + "</failure>\n    </testcase>\n";
            }
        }
        cases += "    <testcase classname=\"" + Xml(suite) + "\" name=\"success rule\" time=\"0\"";
        if (one.verdict.success) {
            cases += "/>\n";
        } else {
            ++failures;
            cases += ">\n      <failure message=\"" + Xml(one.verdict.reason) +
                     "\" type=\"rule\">" + Xml(one.verdict.reason) +
                     "</failure>\n    </testcase>\n";
        }
        int tests = static_cast<int>(one.rows.size()) + 1;
        body += "  <testsuite name=\"" + Xml(suite) + "\" tests=\"" + std::to_string(tests) +
                "\" failures=\"" + std::to_string(failures) +
                "\" errors=\"0\" skipped=\"0\" time=\"" + Seconds(ms) + "\">\n" + cases +
                "  </testsuite>\n";
        allTests += tests;
        allFailures += failures;
        allMs += ms;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + Xml(name) +
           "\" tests=\"" + std::to_string(allTests) + "\" failures=\"" +
           std::to_string(allFailures) + "\" errors=\"0\" time=\"" + Seconds(allMs) + "\">\n" +
           body + "</testsuites>\n";
}

}  // namespace quillrun
