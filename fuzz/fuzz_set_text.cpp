// SET texts and multipart bodies: parsing never reads past its input, every value and click
// comes from the text, and a body's boundary is a line of that body.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/replay/form_action.h"
#include "core/web/url_encoding.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\n');
    std::string url = input.substr(0, split);
    std::string text = split == std::string::npos ? std::string() : input.substr(split + 1);
    FormActionPlan plan;
    if (ParseSetText(url, text, plan)) {
        for (const auto& v : plan.values) {
            if (v.first != "tindrel" && text.find(v.first) == std::string::npos)
                std::abort();
        }
        for (const auto& c : plan.clicks) {
            if (text.find(c) == std::string::npos)
                std::abort();
        }
    }
    std::string boundary = MultipartBoundary(input);
    if (!boundary.empty() && input.find(boundary) == std::string::npos)
        std::abort();
    std::string encoded = input;
    PercentEncodeAll(encoded);
    UrlDecode(encoded, 0, true);
    return 0;
}
