// A run as a JUnit XML report, for CI systems: one testsuite per try, one testcase per row
// (a failure with the status line or the reason), the success rule's verdict as a testcase of
// its own.
#pragma once

#include <string>
#include <vector>

#include "core/formats/run_report.h"

namespace quillrun {

struct JUnitTry {
    std::vector<RowResult> rows;
    TryVerdict verdict;
};

// The report's XML (UTF-8); `name` names the suites (the event file), `host` the machine that
// ran them ("localhost" when empty).
std::string JUnitReportXml(const std::string& name, const std::vector<JUnitTry>& tries,
                           const std::string& host);

}  // namespace quillrun
