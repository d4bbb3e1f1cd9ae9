// HAR import: any text gives a result without a crash; a readable HAR gives an event file
// whose every line is one event (no CR or LF inside a field), numbered from 1 and ended by the
// list's end, with one line for each row it announces.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/formats/har.h"
#include "core/recording/event_line.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // A host filter on every other input, so that both ways are walked.
    std::vector<std::string> hosts;
    if (size % 2 == 1)
        hosts.push_back("127.0.0.1");
    HarImport imported = ImportHar(text, hosts);
    if (!imported.readable) {
        if (!imported.eventFile.empty() || imported.events != 0)
            std::abort();
        return 0;
    }
    // Every row ends with CR LF; the last line is the list's end.
    int lines = 0;
    for (std::size_t at = 0; at < imported.eventFile.size(); ++lines) {
        std::size_t end = imported.eventFile.find("\r\n", at);
        if (end == std::string::npos)
            std::abort();
        at = end + 2;
    }
    if (lines < imported.events + 1)
        std::abort();
    return 0;
}
