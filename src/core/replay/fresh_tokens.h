// Fresh tokens beyond hidden inputs, as today's frameworks hand them out: a token in the page's
// <meta name="csrf-token"> (with <meta name="csrf-param"> naming the body field that carries
// it), and a token cookie a page's script copies into a header (XSRF-TOKEN into X-XSRF-TOKEN,
// csrftoken into X-CSRFToken). A recorded header or body field of such a name takes the value
// the site gives now; every other byte stays as recorded.
#pragma once

#include <string>
#include <vector>

#include "core/web/html_tree.h"

namespace quillrun {

struct PageTokens {
    std::string token;  // content of <meta name="csrf-token"> (or "_csrf", "csrf_token"), UTF-8
    std::string param;  // content of <meta name="csrf-param">: the body field's name
    bool Any() const { return !token.empty(); }
};

// The tokens of a page (none when the page was too large or deep to parse).
PageTokens PageTokensOf(const HtmlTree& page);
PageTokens PageTokensOf(const std::string& htmlUtf8);

// The value of a cookie in a Cookie header's text ("a=1; b=2; "), percent-decoded as the
// frameworks' scripts decode it; empty when it is not there.
std::string CookieValueOf(const std::string& cookieText, const std::string& name);

// A row's headers field with each token header given the fresh value: X-XSRF-TOKEN the cookie
// XSRF-TOKEN, X-CSRFToken the cookie csrftoken, else (and X-CSRF-Token always) the page's
// token. The names refreshed are added to `refreshed`.
std::string RefreshTokenHeaders(const std::string& headers, const PageTokens& page,
                                const std::string& cookieText, std::vector<std::string>& refreshed);

// A body with the field the page names (csrf-param) given the page's token: urlencoded
// ("name=value&..."), or a JSON object's string member of that name.
std::string RefreshTokenField(const std::string& body, bool json, const PageTokens& page,
                              std::vector<std::string>& refreshed);

// Says each token refreshed in the message list and adds a line for the row's report to `notes`
// (names only, never values). `source` is "page" (the browser's page shown) or "answer".
void SayRefreshedTokens(const std::vector<std::string>& refreshed, const std::string& source,
                        std::vector<std::string>& notes);

}  // namespace quillrun
