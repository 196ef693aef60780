// The four text operations count characters of UTF-8 text, never bytes.
#include "topic/text_ops.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextOps, PosCountsCharactersAndIsExact) {
    EXPECT_EQ(text::pos("b", "abc"), 2);
    EXPECT_EQ(text::pos("来自", "中文来自"), 3);
    EXPECT_EQ(text::pos("x", "中文x中文x"), 3);  // first occurrence
    EXPECT_EQ(text::pos("B", "abc"), 0);         // letter case counts
    EXPECT_EQ(text::pos("", "abc"), 0);
    EXPECT_EQ(text::pos("a", ""), 0);
    EXPECT_EQ(text::pos("abcd", "abc"), 0);
}

struct CopyCase {
    const char* t;
    text::CharPos k;
    text::CharPos n;
    const char* expected;
};

TEST(TextOps, CopyFollowsItsBounds) {
    const CopyCase cases[] = {
        {"中文abc", 2, 2, "文a"},     {"中文abc", 0, 2, "中文"},
        {"中文abc", -7, 1, "中"},     {"中文abc", 5, 9, "c"},
        {"中文abc", 6, 1, ""},        {"中文abc", 2, 0, ""},
        {"中文abc", 2, -3, ""},       {"", 1, 1, ""},
        {"中文abc", 1, 5, "中文abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(text::copy(c.t, c.k, c.n)), c.expected)
            << c.t << " k=" << c.k << " n=" << c.n;
    }
}

TEST(TextOps, FromKeepsTheRest) {
    EXPECT_EQ(text::from("中文abc", 3), "abc");
    EXPECT_EQ(text::from("中文abc", 0), "中文abc");
    EXPECT_EQ(text::from("中文abc", 6), "");
    EXPECT_EQ(text::from("", 1), "");
}

TEST(TextOps, TrimDropsControlsAndBlanksOnly) {
    EXPECT_EQ(text::trim(" \t\r\n\x01 中 文 \x1f "), "中 文");
    EXPECT_EQ(text::trim("  \n "), "");
    // An ideographic space is a character above 32 and stays.
    EXPECT_EQ(text::trim("\xE3\x80\x80x "), "\xE3\x80\x80x");
}

}  // namespace
