#include "core/replay/fresh_tokens.h"

#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/recording/event_line.h"
#include "core/web/form_encoding.h"
#include "core/web/html_tree.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

std::string PercentDecoded(std::string text) {
    UrlDecode(text, 0, true);
    return text;
}

// A JSON string's contents for the text (UTF-8).
std::string JsonStringContents(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The end of the JSON string that starts at `open` (its opening quote): the closing quote's
// index, or npos.
std::size_t JsonStringEnd(const std::string& text, std::size_t open) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i;
    }
    return std::string::npos;
}

std::string RefreshJsonMember(const std::string& body, const std::string& name,
                              const std::string& value, bool& done) {
    std::string key = "\"" + JsonStringContents(name) + "\"";
    for (std::size_t at = body.find(key); at != std::string::npos; at = body.find(key, at + 1)) {
        std::size_t colon = body.find_first_not_of(" \t\r\n", at + key.size());
        if (colon == std::string::npos || body[colon] != ':')
            continue;
        std::size_t open = body.find_first_not_of(" \t\r\n", colon + 1);
        if (open == std::string::npos || body[open] != '"')
            continue;
        std::size_t close = JsonStringEnd(body, open);
        if (close == std::string::npos)
            break;
        done = true;
        return body.substr(0, open + 1) + JsonStringContents(value) + body.substr(close);
    }
    return body;
}

std::string RefreshUrlencodedField(const std::string& body, const std::string& name,
                                   const std::string& value, bool& done) {
    std::vector<std::string> pairs = UrlencodedPairs(body);
    for (std::string& pair : pairs) {
        std::size_t equals = pair.find('=');
        if (!done && equals != std::string::npos &&
            PercentDecoded(pair.substr(0, equals)) == name) {
            pair.erase(equals + 1);
            AppendUrlEncoded(pair, value);
            done = true;
        }
    }
    return JoinUrlencodedPairs(pairs);
}

}  // namespace

PageTokens PageTokensOf(const HtmlTree& page) {
    PageTokens tokens;
    ForEachElement(page.Root(), 0, [&tokens](const GumboElement& element, int) {
        if (element.tag == GUMBO_TAG_META) {
            std::string name = AsciiLower(HtmlAttribute(element, "name"));
            if (tokens.token.empty() &&
                (name == "csrf-token" || name == "_csrf" || name == "csrf_token"))
                tokens.token = HtmlAttribute(element, "content");
            else if (tokens.param.empty() && name == "csrf-param")
                tokens.param = HtmlAttribute(element, "content");
        }
        return 0;
    });
    return tokens;
}

PageTokens PageTokensOf(const std::string& htmlUtf8) {
    return PageTokensOf(HtmlTree(htmlUtf8));
}

std::string CookieValueOf(const std::string& cookieText, const std::string& name) {
    std::size_t at = 0;
    while (at < cookieText.size()) {
        std::size_t end = cookieText.find(';', at);
        std::string pair =
            cookieText.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::size_t first = pair.find_first_not_of(' ');
        std::size_t equals = pair.find('=');
        if (first != std::string::npos && equals != std::string::npos &&
            pair.substr(first, equals - first) == name)
            return PercentDecoded(pair.substr(equals + 1));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return std::string();
}

std::string RefreshTokenHeaders(const std::string& headers, const PageTokens& page,
                                const std::string& cookieText,
                                std::vector<std::string>& refreshed) {
    std::string out;
    std::size_t start = 0;
    while (start <= headers.size()) {
        std::size_t end = headers.find(kHeaderSeparator, start);
        if (end == std::string::npos)
            end = headers.size();
        std::string entry = headers.substr(start, end - start);
        std::size_t colon = entry.find(':');
        std::string name =
            colon == std::string::npos || colon == 0 ? std::string() : entry.substr(0, colon);
        std::string lower = AsciiLower(name);
        std::string fresh;
        if (lower == "x-xsrf-token")
            fresh = CookieValueOf(cookieText, "XSRF-TOKEN");
        else if (lower == "x-csrftoken")
            fresh = CookieValueOf(cookieText, "csrftoken");
        if (fresh.empty() &&
            (lower == "x-xsrf-token" || lower == "x-csrftoken" || lower == "x-csrf-token"))
            fresh = page.token;
        if (!fresh.empty() && !HoldsControlByte(fresh)) {
            out += name + ": " + fresh;
            refreshed.push_back("header " + name);
        } else {
            out += entry;
        }
        if (end == headers.size())
            break;
        out += kHeaderSeparator;
        start = end + 1;
    }
    return out;
}

std::string RefreshTokenField(const std::string& body, bool json, const PageTokens& page,
                              std::vector<std::string>& refreshed) {
    if (page.token.empty() || page.param.empty())
        return body;
    bool done = false;
    std::string out = json ? RefreshJsonMember(body, page.param, page.token, done)
                           : RefreshUrlencodedField(body, page.param, page.token, done);
    if (done)
        refreshed.push_back("field " + page.param);
    return out;
}

void SayRefreshedTokens(const std::vector<std::string>& refreshed, const std::string& source,
                        std::vector<std::string>& notes) {
    std::string where = source == "page" ? J("表示中のページ") : J("前の応答");
    for (const std::string& name : refreshed) {
        AddMessage(J("トークンを") + where + J("の値で送ります: ") + Utf8ToCp932(name));
        notes.push_back("token " + name + " refreshed");
    }
}

}  // namespace quillrun
