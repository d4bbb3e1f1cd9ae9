#include "gui/cli/verb_files.h"

#include <cstdio>

#include "core/config/app_state.h"
#include "core/config/configuration.h"
#include "core/platform/cp932.h"

namespace quillrun {

// Reads the program folder's settings; says on stderr why when they cannot be read.
bool LoadSettingsOrSayWhy() {
    if (LoadConfiguration(App()))
        return true;
    std::fprintf(stderr, "quillrun: %s\n",
                 Cp932ToUtf8(UnreadableConfigurationMessage(App())).c_str());
    return false;
}

// Writes a file named on the command line: its path is the file system's own bytes.
bool WriteNamedFile(const std::string& path, const std::string& content) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool written =
        out != nullptr && std::fwrite(content.data(), 1, content.size(), out) == content.size();
    if (out != nullptr && std::fclose(out) != 0)
        written = false;
    if (!written)
        std::fprintf(stderr, "quillrun: cannot write %s\n", path.c_str());
    return written;
}

}  // namespace quillrun
