#include "gui/cli/verb_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
    // What these files hold (cookies, login bodies, replies) is the user's alone: a new file is
    // made 0600 whatever the umask; a file that exists keeps the mode it was given.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0;
    for (std::size_t done = 0; written && done < content.size();) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (fd >= 0 && ::close(fd) != 0)
        written = false;
    if (!written)
        std::fprintf(stderr, "quillrun: cannot write %s\n", path.c_str());
    return written;
}

}  // namespace quillrun
