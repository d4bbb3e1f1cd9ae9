// The duplicate-post guard: the same request content (host + method + path + data) is sent at
// most four times per program run, by whichever replay engine. Its file, cookies/quillrun.sin,
// holds one key per line and is deleted at every start.
#pragma once

#include <string>

namespace quillrun {

enum class GuardResult { Pass, Tripped, FileError };

std::string GuardFilePath();

// Counts the key's lines in the guard file; with more than three, logs the guard message and
// adds it to the message list (Tripped). Otherwise appends the key (Pass), or FileError when
// the file cannot be appended to.
GuardResult RunPostGuard(const std::string& key);

}  // namespace quillrun
