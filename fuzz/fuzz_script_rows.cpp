// Script requests as a page could send them (method, address, headers, body from the input):
// every event the recorder makes of one is a single line that reads back to the same fields
// and that the replays would send, never a row they refuse.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/recording/event_line.h"
#include "core/recording/script_request.h"
#include "fuzz/fuzz_support.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    // method 0x01 address 0x01 headers 0x01 body
    auto [method, rest] = fuzz::SplitAtMarker(input);
    auto [url, tail] = fuzz::SplitAtMarker(rest);
    auto [headerText, body] = fuzz::SplitAtMarker(tail);
    ScriptRequest request;
    request.via = "fetch";
    request.method = method;
    request.url = url;
    request.body = body;
    request.origin = "http://h";
    // Header entries "name: value", one per line of the input's header part.
    std::size_t at = 0;
    while (at < headerText.size()) {
        std::size_t end = headerText.find('\n', at);
        std::string entry = headerText.substr(at, end == std::string::npos ? end : end - at);
        std::size_t colon = entry.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(entry.substr(0, colon), entry.substr(colon + 1));
        at = end == std::string::npos ? headerText.size() : end + 1;
    }
    ScriptEvent event;
    std::string why;
    if (!ScriptRequestEvent(request, event, why))
        return 0;
    std::string line =
        FormatEventLine(1, EventMethodText(event.method), event.url, event.data, event.headers);
    if (line.find_first_of("\r\n") + 2 != line.size())
        std::abort();  // a line of its own, ended by its CR LF
    EventLine back;
    if (!ParseReplayRow(line.substr(0, line.size() - 2), back))
        std::abort();
    if (back.url != event.url || back.data != event.data || back.headers != event.headers)
        std::abort();
    if (!RowRefusal(back).empty() || !IsScriptRow(back)) {
        std::fprintf(stderr, "refused: [%s] headers [%s]\n", RowRefusal(back).c_str(),
                     back.headers.c_str());
        std::abort();
    }
    return 0;
}
