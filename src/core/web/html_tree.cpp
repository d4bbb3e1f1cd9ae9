#include "core/web/html_tree.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

namespace quillrun {
namespace {

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements never left open: void ones, and those the next of their kind (or their parent's end)
// closes.
bool NeverKeptOpen(std::string_view name) {
    return OneOf(name,
                 {"area",  "base",  "basefont", "bgsound", "br",     "col",      "embed", "frame",
                  "hr",    "img",   "input",    "keygen",  "link",   "meta",     "param", "source",
                  "track", "wbr",   "p",        "li",      "dt",     "dd",       "td",    "th",
                  "tr",    "tbody", "thead",    "tfoot",   "option", "optgroup", "rb",    "rt",
                  "rp",    "rtc",   "colgroup", "caption", "html",   "head",     "body"});
}

// Elements the parser stops at when it looks for an open element in scope.
bool BoundsAScope(std::string_view name) {
    return OneOf(name, {"table", "object", "marquee", "applet", "template"});
}

// Elements whose text holds no tags, read up to their end tag.
bool HoldsRawText(std::string_view name) {
    return OneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                        "noframes", "plaintext"});
}

// HTML tags that end an <svg> or <math> the parser is in.
bool LeavesForeignContent(std::string_view name) {
    return OneOf(
        name,
        {"b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
         "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
         "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
         "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
         "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var",  "font"});
}

std::string LowerTagName(const std::string& html, std::size_t& at) {
    std::string name;
    while (at < html.size() && !std::isspace(static_cast<unsigned char>(html[at])) &&
           html[at] != '>' && html[at] != '/')
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[at++])));
    return name;
}

// From inside a tag to just past its '>' (quoted values may hold one); whether it ended "/>".
bool SkipTagRest(const std::string& html, std::size_t& at) {
    char quote = 0;
    bool slash = false;
    for (; at < html.size(); ++at) {
        char c = html[at];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            ++at;
            return slash;
        }
        slash = quote == 0 && c == '/';
    }
    return slash;
}

std::size_t FindNoCase(const std::string& html, const std::string& lowerNeedle, std::size_t from) {
    auto it = std::search(html.begin() + static_cast<std::ptrdiff_t>(from), html.end(),
                          lowerNeedle.begin(), lowerNeedle.end(), [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) == b;
                          });
    return it == html.end() ? std::string::npos : static_cast<std::size_t>(it - html.begin());
}

}  // namespace

HtmlNesting EstimateHtmlNesting(const std::string& html) {
    HtmlNesting nesting;
    std::size_t depth = 0;
    std::size_t foreignAt = 0;           // the depth an <svg> or <math> opened at; 0 outside them
    std::vector<std::size_t> scopes{0};  // the depths the open scope bounds were opened at
    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string::npos) {
        ++at;
        if (html.compare(at, 3, "!--") == 0) {
            std::size_t end = html.find("-->", at + 3);
            at = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        bool closing = at < html.size() && html[at] == '/';
        if (closing)
            ++at;
        if (at >= html.size() || !std::isalpha(static_cast<unsigned char>(html[at]))) {
            if (at < html.size() && (html[at] == '!' || html[at] == '?'))
                SkipTagRest(html, at);
            continue;
        }
        std::string name = LowerTagName(html, at);
        bool selfClosed = SkipTagRest(html, at);
        if (closing) {
            if (!NeverKeptOpen(name) && depth > 0)
                --depth;
            if (depth < foreignAt)
                foreignAt = 0;
            while (scopes.back() > depth)
                scopes.pop_back();
            continue;
        }
        if (foreignAt != 0 && LeavesForeignContent(name))
            foreignAt = 0;
        nesting.work += depth - scopes.back();
        if (foreignAt != 0 ? selfClosed : NeverKeptOpen(name))
            continue;
        ++depth;
        nesting.deepest = std::max(nesting.deepest, depth);
        if (BoundsAScope(name))
            scopes.push_back(depth);
        if (foreignAt == 0 && (name == "svg" || name == "math"))
            foreignAt = depth;
        if (foreignAt == 0 && HoldsRawText(name)) {
            std::size_t end = FindNoCase(html, "</" + name, at);
            at = end == std::string::npos ? html.size() : end;
        }
    }
    return nesting;
}

HtmlTree::HtmlTree(const std::string& htmlUtf8) : options_(kGumboDefaultOptions) {
    options_.max_errors = kHtmlErrorsKept;
    if (htmlUtf8.size() > kLargestParsedHtml) {
        refusal_ = "the page is larger than " + std::to_string(kLargestParsedHtml >> 20) + " MiB";
        return;
    }
    HtmlNesting nesting = EstimateHtmlNesting(htmlUtf8);
    if (nesting.deepest > kDeepestParsedHtml || nesting.work > kHtmlNestingWorkLimit) {
        refusal_ = "the page nests " + std::to_string(nesting.deepest) +
                   " elements deep, more than a parser should walk";
        return;
    }
    output_ = gumbo_parse_with_options(&options_, htmlUtf8.data(), htmlUtf8.size());
}

HtmlTree::~HtmlTree() {
    if (output_ != nullptr)
        gumbo_destroy_output(&options_, output_);
}

std::string HtmlAttribute(const GumboElement& element, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
    return a != nullptr ? std::string(a->value) : std::string();
}

bool HasHtmlAttribute(const GumboElement& element, const char* name) {
    return gumbo_get_attribute(&element.attributes, name) != nullptr;
}

void ForEachElement(const GumboNode* root, int top,
                    const std::function<int(const GumboElement&, int)>& visit) {
    std::vector<std::pair<const GumboNode*, int>> stack;
    if (root != nullptr)
        stack.emplace_back(root, top);
    while (!stack.empty()) {
        auto [node, handed] = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT)
            continue;
        const GumboElement& element = node->v.element;
        int down = visit(element, handed);
        for (unsigned i = element.children.length; i > 0; --i)
            stack.emplace_back(static_cast<const GumboNode*>(element.children.data[i - 1]), down);
    }
}

}  // namespace quillrun
