// The statuses a task counts as success (its EventExpectStatus key, --status): "200-299,302",
// statuses from 100 to 599, each range low to high.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

// Each "a-b" or "a" of the text; false when one is malformed.
bool ReadStatusRanges(const std::string& text, std::vector<std::pair<int, int>>& ranges);
// "200-299", "200,302" or "200-299, 302": statuses from 100 to 599, each range low to high.
bool ValidStatusRanges(const std::string& text);

}  // namespace quillrun
