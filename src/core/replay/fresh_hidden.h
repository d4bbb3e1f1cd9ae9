// Fresh hidden fields: a recorded form's hidden inputs (the session's CSRF token and the like)
// take the values the site gives now. The forms of the answer before a row are read with an
// HTML parser; the row's entries named like a hidden input of the form it goes to get that
// input's value, encoded in the page's charset, every other byte as recorded.
#pragma once

#include <string>
#include <vector>

#include "core/web/html_tree.h"

namespace quillrun {

struct PageForm {
    std::string action;  // resolved against the page's address; the page's own when empty
    std::vector<std::pair<std::string, std::string>> hidden;  // name and value, UTF-8
};

// The forms of a page served at pageUrl (none when the page was too large or deep to parse).
std::vector<PageForm> ParseForms(const HtmlTree& page, const std::string& pageUrl);
std::vector<PageForm> ParseForms(const std::string& htmlUtf8, const std::string& pageUrl);

// The form a row with this URL submits: the one whose action is the URL (its query and
// fragment aside), else the only form of the page; null when there is none.
const PageForm* FormForRow(const std::vector<PageForm>& forms, const std::string& rowUrl);

// An address resolved against a page's (absolute, "/path", "relative", "?query", "").
std::string ResolveAddress(const std::string& pageUrl, const std::string& reference);

struct RefreshedEntries {
    std::string data;                    // the row's data with the fresh values
    std::vector<std::string> refreshed;  // names (UTF-8) whose values were taken from the page
    std::vector<std::string> missing;    // names that look like tokens, not found in the form
};

// The row's urlencoded data (name=value pairs joined by "&", bytes of the form's charset) with
// every entry named like a hidden input of the form given that input's value, encoded with
// `charsetName` (an iconv name, as the form's charset). Entries keep their order; every other
// byte is kept.
RefreshedEntries RefreshHiddenEntries(const std::string& data, const PageForm& form,
                                      const std::string& charsetName);

// The charset an HTML answer is in: its Content-Type header's, else its <meta>'s, else the one
// detected; as an iconv name ("CP932", "EUC-JP-MS", "UTF-8").
std::string AnswerCharset(const std::string& response);

// Says each refreshed entry and each token-like entry left as recorded in the message list, and
// adds a line for the row's report to `notes` (names only, never values). `source` is "page"
// (the browser's page shown) or "answer" (the answer before).
void SayRefreshedEntries(const RefreshedEntries& entries, const std::string& source,
                         std::vector<std::string>& notes);

// Whether a field name looks like a session token ("csrf", "token", "authenticity").
bool LooksLikeTokenName(const std::string& name);

}  // namespace quillrun
