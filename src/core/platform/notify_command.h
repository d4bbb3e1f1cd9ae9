// The user's command run after a task run: without a shell (its words split at spaces, "double
// quotes" keep spaces together), told of the run through its environment, killed when it
// takes too long.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

// The command's words; empty when the text holds none or a quote is left open.
std::vector<std::string> SplitCommandWords(const std::string& command);

struct CommandResult {
    bool started = false;
    bool killed = false;    // it ran past its limit
    int exitStatus = -1;    // its exit status; -1 when it ended by a signal or never ran
    std::string errorLine;  // the first line of its error output
};

// Runs the command with these variables added to the program's environment; waits for it up
// to `limitMilliseconds`, then kills it and everything it started.
CommandResult RunCommand(const std::vector<std::string>& words,
                         const std::vector<std::pair<std::string, std::string>>& environment,
                         int limitMilliseconds);

}  // namespace quillrun
