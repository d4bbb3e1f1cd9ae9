// Pages a hostile or broken site may serve: each is parsed within bounds or refused with a
// reason, and a parsed one is walked to any depth without the stack growing.
#include "core/web/html_tree.h"

#include <gtest/gtest.h>

#include "core/replay/fresh_hidden.h"
#include "core/replay/fresh_tokens.h"

namespace quillrun {
namespace {

std::string Repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(HtmlTree, ADeepPageIsRefusedAndAPageJustWithinIsWalkedToItsBottom) {
    // 80,000 nested elements: no crash, no stall, said.
    std::string deep = "<html><body>" + Repeated("<div>", 80000) +
                       "<form action=/f><input type=hidden name=_token value=t></form>";
    HtmlTree refused(deep);
    EXPECT_FALSE(refused.Parsed());
    EXPECT_EQ(refused.Refusal(),
              "the page nests 80001 elements deep, more than a parser should walk");
    EXPECT_TRUE(ParseForms(deep, "http://h/").empty());
    EXPECT_FALSE(PageTokensOf(deep).Any());

    // 6000 deep (a nesting no real page has, which a parser still walks quickly): the form and
    // the meta token at the bottom are found.
    std::string within = "<html><head><meta name=csrf-token content=m></head><body>" +
                         Repeated("<span>", 6000) +
                         "<form action=/f><input type=hidden name=_token value=t></form>";
    HtmlTree parsed(within);
    ASSERT_TRUE(parsed.Parsed()) << parsed.Refusal();
    std::vector<PageForm> forms = ParseForms(parsed, "http://h/");
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0].hidden, (std::vector<std::pair<std::string, std::string>>{{"_token", "t"}}));
    EXPECT_EQ(PageTokensOf(parsed).token, "m");

    std::string large(kLargestParsedHtml + 1, 'x');
    EXPECT_EQ(HtmlTree(large).Refusal(), "the page is larger than 8 MiB");
}

TEST(HtmlTree, UnclosedTablesAreParsedWithoutKeepingTheParsersErrors) {
    // Every tag an error, each of which would copy the open elements: 8000 of them.
    std::string tables = "<html><body>" + Repeated("<table><tr><td>", 8000) +
                         "<form><input type=hidden name=k value=v></form>";
    HtmlTree tree(tables);
    ASSERT_TRUE(tree.Parsed()) << tree.Refusal();
    EXPECT_EQ(ParseForms(tree, "http://h/").size(), 1u);
}

TEST(HtmlTree, TheNestingEstimateCountsWhatAParserKeepsOpen) {
    // Sloppy pages of elements that close themselves stay shallow.
    EXPECT_LE(EstimateHtmlNesting(Repeated("<p>x", 20000)).deepest, 1u);
    EXPECT_LE(EstimateHtmlNesting("<ul>" + Repeated("<li><br><img src=a>", 20000)).deepest, 1u);
    // An inline drawing's self-closed shapes are closed; an HTML tag after them leaves the
    // drawing, and its "/>" closes nothing.
    EXPECT_EQ(
        EstimateHtmlNesting("<div><svg>" + Repeated("<path d='a>b'/>", 20000) + "</svg>").deepest,
        2u);
    EXPECT_EQ(EstimateHtmlNesting("<svg><path/>" + Repeated("<div/>", 3000)).deepest, 3001u);
    // Tags inside comments, scripts and quoted values are no tags.
    EXPECT_EQ(EstimateHtmlNesting("<!--" + Repeated("<div>", 100) + "--><script>" +
                                  Repeated("<div>", 100) + "</SCRIPT><a title='<div>'>")
                  .deepest,
              1u);
    HtmlNesting closed = EstimateHtmlNesting(Repeated("<div><b>x</b></div>", 1000));
    EXPECT_EQ(closed.deepest, 2u);
    EXPECT_EQ(closed.work, 1000u);
    // The parser's look ends at a table: a table's contents cost from the table down.
    HtmlNesting tables = EstimateHtmlNesting(Repeated("<div>", 100) + "<table><tr><td><b>");
    EXPECT_EQ(tables.deepest, 102u);
    EXPECT_EQ(tables.work, 4950u + 100);  // tr, td and b cost nothing below the table
    // A page of small nestings, each cheap, costs their sum; many tags deep in one costs more.
    std::string cheap = Repeated(
        "<div>" + Repeated("<span>", 50) + "x" + Repeated("</span>", 50) + "</div>", 10000);
    EXPECT_TRUE(HtmlTree(cheap).Parsed());
    std::string costly = Repeated("<div>", 9000) + Repeated("<p>x", 20000);
    HtmlTree refused(costly);
    EXPECT_FALSE(refused.Parsed());
    EXPECT_EQ(refused.Refusal(),
              "the page nests 9000 elements deep, more than a parser should walk");
}

}  // namespace
}  // namespace quillrun
