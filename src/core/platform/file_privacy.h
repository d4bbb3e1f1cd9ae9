// The program folder holds what web sessions are made of (cookie files, saved responses). At
// start the user is told once of each such place that other accounts can read; the program
// does not change the user's modes itself.
#pragma once

#include <string>
#include <vector>

namespace quillrun {

// One message-list line per place readable by other accounts: the folders "cookies/" and
// "response/", and the cookie files (one line for all of them).
std::vector<std::string> PrivacyWarnings(const std::string& programFolder);

}  // namespace quillrun
