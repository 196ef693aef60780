// The cutting of a page at the site's markers, as pure functions, on the edge cases that matter.
#include "topic/topic_cutting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/topic/topic_page.h"

namespace {

using namespace topic_page;

// Everything one page gives, cut the way a load cuts its first page.
struct TCutResult {
    std::string url;
    std::string name;
    std::string firstPost;
    std::string suffix;
    std::vector<std::string> posts;
    std::string next;
};

TCutResult CutWholePage(const std::string& page) {
    TCutResult r;
    const TStarterPieces pieces = CutStarter(page);
    r.url = pieces.StarterUrl;
    r.name = pieces.StarterName;
    r.firstPost = pieces.FirstPost;
    r.suffix = std::string(ChooseSuffix(r.name, pieces.Rest));
    const std::string key = ReplyKey(r.name, r.suffix);
    const std::string_view rest = CutReplies(
        pieces.Rest, [&] { return key; }, [&](std::string_view f) { r.posts.emplace_back(f); });
    r.next = NextPageAddress(rest);
    return r;
}

struct TPageCase {
    const char* label;
    std::string page;
    TCutResult expected;
};

TEST(TopicCutting, PagesGiveTheSpecifiedPieces) {
    const std::string ann = "http://s/people/ann/";
    const std::string opening = "<p>开篇 first</p>";
    const std::string openingCut = "<p>开篇 first</p>\n</div>";
    const TPageCase cases[] = {
        {"typical page: only the starter's replies, in order",
         Page(Starter(ann, "Ann") + Opening(opening) + Reply("Ann", "<p>第一</p>") +
              Reply("Bob", "<p>bob</p>") + Reply("Ann", "<p>第二</p>") +
              Next("http://s/t/1?s=100")),
         {ann,
          "Ann",
          openingCut,
          "</a> (",
          {"<p>第一</p>\n", "<p>第二</p>\n"},
          "http://s/t/1?s=100"}},
        {"no \" (\" after the name: the plain suffix",
         Page(Starter(ann, "Ann") + Opening(opening) + PlainReply("Ann", "一") +
              PlainReply("Bob", "二") + LastPageNext()),
         {ann, "Ann", openingCut, "</a>", {"一\n"}, ""}},
        {"substring match: a longer name ending in the starter's counts",
         Page(Starter(ann, "Ann") + Opening(opening) + Reply("JoAnn", "jo") + Reply("Ann", "ann")),
         {ann, "Ann", openingCut, "</a> (", {"jo\n", "ann\n"}, ""}},
        {"empty name: the bare suffix takes every reply",
         Page(Starter(ann, "") + Opening(opening) + Reply("Bob", "b") + Reply("Cy", "c")),
         {ann, "", openingCut, "</a> (", {"b\n", "c\n"}, ""}},
        {"name kept verbatim, markup and references included",
         Page(Starter(ann, " <b>A&amp;n</b> ") + Opening(opening) + Reply("<b>A&amp;n</b>", "x")),
         {ann, "<b>A&amp;n</b>", openingCut, "</a> (", {"x\n"}, ""}},
        {"Chinese before a missing starter marker: the first 12 characters go",
         "一二三四五六七八九十甲乙http://s/p/\">Ann</a>" + Opening(opening),
         {"http://s/p/", "Ann", openingCut, "</a>", {}, ""}},
        {"no \"\\\">\" after the starter cut: no address, the name from position 3",
         "来自: <a href=\"xyName </a> more",
         {"", "Name", "", "</a>", {}, ""}},
        {"no \"</a>\" at all: empty name",
         "来自: <a href=\"u\">Ann<div class=\"topic-content\">post<div class=\"sns-bar\">",
         {"u", "", "post", "</a>", {}, ""}},
        {"\"</a>\" before the name's start: empty name",
         "来自: <a href=\"long-url</a>\">Ann<div class=\"topic-content\">post<div "
         "class=\"sns-bar\">",
         {"long-url</a>", "", "post", "</a>", {}, ""}},
        {"no topic-content: the text loses its first 26 characters",
         "来自: <a href=\"u\">N</a>" + std::string("一二三四五六七八九十甲乙丙丁戊己庚辛") +
             "开篇<div class=\"sns-bar\">",
         {"u", "N", "开篇", "</a>", {}, ""}},
        {"no sns-bar after the opening: empty opening post",
         Page(Starter(ann, "Ann") + "<div class=\"topic-content\">only text"),
         {ann, "Ann", "", "</a>", {}, ""}},
        {"a reply key without a following </div>: five characters go, empty fragment",
         Page(Starter(ann, "Ann") + Opening(opening)) + "Ann</a> (12345678",
         {ann, "Ann", openingCut, "</a> (", {""}, ""}},
        {"ill-formed page decoded to nothing", "", {"", "", "", "</a>", {}, ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const TCutResult r = CutWholePage(c.page);
        EXPECT_EQ(r.url, c.expected.url);
        EXPECT_EQ(r.name, c.expected.name);
        EXPECT_EQ(r.firstPost, c.expected.firstPost);
        EXPECT_EQ(r.suffix, c.expected.suffix);
        EXPECT_EQ(r.posts, c.expected.posts);
        EXPECT_EQ(r.next, c.expected.next);
    }
}

TEST(TopicCutting, CutPastAMissingMarkerCountsCharacters) {
    // The marker "来自: <a href=\"" is 13 characters (19 bytes): 12 characters go, not 18 bytes.
    EXPECT_EQ(CutPast("甲乙丙丁戊己庚辛壬癸子丑寅卯", topic_markers::kStarterLink), "寅卯");
    EXPECT_EQ(CutPast("  ab来自: <a href=\"  rest ", topic_markers::kStarterLink), "rest");
    EXPECT_EQ(CutPast("short", topic_markers::kStarterLink), "");
}

TEST(TopicCutting, ReplyKeyIsAskedForAtEveryUse) {
    // A later load renames the starter mid-loop: the rest of the page follows the new name.
    const std::string page =
        Reply("Ann", "a1") + Reply("Bob", "b1") + Reply("Ann", "a2") + Reply("Bob", "b2");
    std::string name = "Ann";
    std::vector<std::string> posts;
    CutReplies(
        page, [&] { return ReplyKey(name, "</a> ("); },
        [&](std::string_view f) {
            posts.emplace_back(f);
            name = "Bob";
        });
    EXPECT_EQ(posts, (std::vector<std::string>{"a1\n", "b1\n", "b2\n"}));
}

struct TNextCase {
    const char* label;
    std::string t;
    std::string expected;
};

TEST(TopicCutting, NextPageAddressRules) {
    const TNextCase cases[] = {
        {"link element: its address", "x" + Next("http://s/t?start=100"), "http://s/t?start=100"},
        {"address taken verbatim", Next(" http://s/t?a=1&amp;b=后 "), "http://s/t?a=1&amp;b=后"},
        {"relative address kept as it stands", Next("/t/1?start=200"), "/t/1?start=200"},
        {"no next span", "<link rel=\"next\" href=\"http://s/t\"/>", ""},
        {"empty page text", "", ""},
        {"last page: the label lands in the address", LastPageNext(), ""},
        {"span without link and no \"/>", "<span class=\"next\">   later page   </span>", ""},
        {"span without link: whatever stands from position 24",
         "<span class=\"next\"><a href=\"http://s/t2\"/>", "ref=\"http://s/t2"},
        {"\"/> at position 24 or earlier: nothing", "<span class=\"next\">abcd\"/>", ""},
        {"\"/> at position 25: one character", "<span class=\"next\">abcdX\"/>", "X"},
        {"characters, not bytes, up to position 24", "<span class=\"next\">一二三四http://s/p\"/>",
         "http://s/p"},
        {"label inside a link address ends the topic", Next("http://s/后页"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(NextPageAddress(c.t), c.expected);
    }
}

TEST(TopicCutting, HostileRepliesStayLinear) {
    // Thousands of key matches with no closing markers: each search must not rescan the page.
    std::string page;
    for (int i = 0; i < 200000; ++i) {
        page += "Ann</a> (";
    }
    std::size_t count = 0;
    CutReplies(
        page, [] { return std::string("Ann</a> ("); }, [&](std::string_view) { ++count; });
    EXPECT_GT(count, 0u);
}

TEST(TopicCutting, FragmentBudgetKeepsAPrefixWithinFourPages) {
    struct TBudgetCase {
        const char* label;
        std::size_t pageSize;
        std::vector<std::size_t> fragments;
        std::vector<bool> taken;
    };
    const TBudgetCase cases[] = {
        {"exactly four pages fit", 10, {10, 10, 10, 10}, {true, true, true, true}},
        {"one byte past four pages", 10, {10, 10, 10, 11}, {true, true, true, false}},
        {"after the first refusal even empty fragments go",
         10,
         {35, 6, 0, 1},
         {true, false, false, false}},
        {"empty fragments cost nothing", 1, {0, 0, 4, 0, 1}, {true, true, true, true, false}},
        {"an empty page takes empty fragments only", 0, {0, 1, 0}, {true, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TFragmentBudget budget(c.pageSize);
        std::vector<bool> taken;
        for (const std::size_t size : c.fragments) {
            taken.push_back(budget.Take(size));
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(budget.Exceeded(), taken.back() == false);
    }
}

}  // namespace
