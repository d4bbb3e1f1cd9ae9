// What several verbs do with files: the program folder's settings read, and a file named on the
// command line written.
#pragma once

#include <string>

namespace quillrun {

// Reads the program folder's settings; says on stderr why when they cannot be read.
bool LoadSettingsOrSayWhy();

// Writes a file named on the command line (its path is the file system's own bytes); a new one
// is made 0600 whatever the umask.
bool WriteNamedFile(const std::string& path, const std::string& content);

}  // namespace quillrun
