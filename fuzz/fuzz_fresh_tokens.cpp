// Any page as the answer before a row: it is parsed within its bounds (or refused) without a
// crash or a stall, and the fresh values put into a row never carry a control byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/platform/cp932.h"
#include "core/replay/fresh_hidden.h"
#include "core/replay/fresh_tokens.h"
#include "core/web/html_tree.h"

using namespace quillrun;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string html(reinterpret_cast<const char*>(data), size);
    HtmlTree page(html);
    if (!page.Parsed() && page.Refusal().empty())
        std::abort();
    std::vector<PageForm> forms = ParseForms(page, "http://h/a/page.html");
    PageTokens tokens = PageTokensOf(page);
    std::vector<std::string> refreshed;
    const std::string row = "user=me&_token=old&csrf=x&authenticity_token=y";
    for (const PageForm& form : forms) {
        for (const char* charset : {"UTF-8", "CP932"}) {
            RefreshedEntries entries = RefreshHiddenEntries(row, form, charset);
            if (HoldsControlByte(entries.data))
                std::abort();
        }
    }
    std::string headers = "X-CSRF-Token: old\x1fX-XSRF-TOKEN: old\x1fX-CSRFToken: old";
    std::string fresh =
        RefreshTokenHeaders(headers, tokens, "XSRF-TOKEN=" + html.substr(0, 64), refreshed);
    for (unsigned char c : fresh) {
        if (IsControlByte(c) && c != 0x1f)
            std::abort();
    }
    if (HoldsControlByte(RefreshTokenField(row, false, tokens, refreshed)))
        std::abort();
    RefreshTokenField("{\"_token\":\"old\",\"a\":1}", true, tokens, refreshed);
    return 0;
}
