// --import-har FILE [--host HOST]... -o OUT.evf: an event file of the HAR's page navigations and
// form posts, in their order (only those to the hosts named, when some are); a line on stderr
// for every entry left out and why. 0 done, 2 when a file cannot be read or written.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/formats/har.h"
#include "gui/cli/verb.h"
#include "gui/cli/verb_files.h"

namespace quillrun {

int ImportHarVerb(const CommandLine& line, ProgramStart&) {
    std::ifstream file(line.eventFile, std::ios::binary);
    std::ostringstream text;
    if (file)
        text << file.rdbuf();
    HarImport imported = ImportHar(text.str(), line.hosts);
    if (!file || !imported.readable) {
        std::fprintf(stderr, "quillrun: not a readable HAR file: %s\n", line.eventFile.c_str());
        return 2;
    }
    for (const std::string& why : imported.leftOut)
        std::fprintf(stderr, "quillrun: %s\n", why.c_str());
    if (!WriteNamedFile(line.outputPath, imported.eventFile))
        return 2;
    std::printf("%d events\n", imported.events);
    return 0;
}

}  // namespace quillrun
