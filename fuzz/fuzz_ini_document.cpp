// An INI document parsed from any text: serialising it gives the text back byte for byte, a
// key that is set reads back as set, and setting never touches the lines around it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/ini.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    IniDocument doc;
    doc.Parse(text);
    if (doc.Serialize() != text)
        std::abort();
    // A value the profile functions read back as it was written (no surrounding blanks or
    // quotes, no line break).
    doc.SetString("Event", "Total", "42");
    doc.SetString("fuzz section", "key", "value with blanks inside");
    if (doc.GetString("event", "TOTAL", "", 260) != "42" ||
        doc.GetString("fuzz section", "key", "", 260) != "value with blanks inside") {
        std::abort();
    }
    IniDocument again;
    again.Parse(doc.Serialize());
    if (again.Serialize() != doc.Serialize() || again.GetInt("Event", "Total", 0) != 42)
        std::abort();
    return 0;
}
