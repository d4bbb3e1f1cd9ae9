// core/web: a page's HTML parsed for reading its forms and tokens, within bounds a hostile or
// broken page cannot stretch (size, errors kept, nesting work), and walked without recursion.
#pragma once

#include <gumbo.h>

#include <cstddef>
#include <functional>
#include <string>

namespace quillrun {

// Pages larger than this are not parsed (an answer may be far larger than any form page).
constexpr std::size_t kLargestParsedHtml = 8u << 20;
// The parser's errors kept: none is read, and each copies the open elements, so that a page
// broken at every tag of a deep nesting would take gigabytes and seconds for them alone.
constexpr int kHtmlErrorsKept = 0;
// The parser builds and frees its tree by recursion: deeper pages are not parsed (a table's
// rows and cells nest three more elements under each counted one).
constexpr std::size_t kDeepestParsedHtml = 10'000;
// The parser looks through the open elements (up to the nearest table, object or the like) for
// many tags it meets, so its work grows with that depth at each tag; above this sum of depths
// (about a tenth of a second) a page is not parsed.
constexpr std::size_t kHtmlNestingWorkLimit = 50'000'000;

struct HtmlNesting {
    std::size_t deepest = 0;  // open elements at the deepest point, as a parser would keep them
    std::size_t work = 0;     // the sum of the depths (below the nearest scope) at each start tag
};

// A linear look at the page's tags: how deep its elements nest and what that costs a parser.
// Elements that close themselves (void elements, p, li, td and the like) are not counted as
// open; it is an estimate made before the parse, never a parse.
HtmlNesting EstimateHtmlNesting(const std::string& html);

class HtmlTree {
  public:
    // Parses the text (UTF-8) unless it passes a bound; then Parsed() is false and Refusal() says
    // which, in English for the report.
    explicit HtmlTree(const std::string& htmlUtf8);
    ~HtmlTree();
    HtmlTree(const HtmlTree&) = delete;
    HtmlTree& operator=(const HtmlTree&) = delete;

    bool Parsed() const { return output_ != nullptr; }
    const std::string& Refusal() const { return refusal_; }
    const GumboNode* Root() const { return output_ ? output_->root : nullptr; }

  private:
    GumboOptions options_;
    GumboOutput* output_ = nullptr;
    std::string refusal_;
};

// An element's attribute value (empty when it has none), and whether it has the attribute.
std::string HtmlAttribute(const GumboElement& element, const char* name);
bool HasHtmlAttribute(const GumboElement& element, const char* name);

// Visits each element under `root` in document order without recursion. The visitor gets the
// element and the value its parent handed down (`top` for the root) and returns the value for
// the element's children.
void ForEachElement(const GumboNode* root, int top,
                    const std::function<int(const GumboElement&, int)>& visit);

}  // namespace quillrun
