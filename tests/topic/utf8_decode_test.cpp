// A body that is not well-formed UTF-8 becomes the empty page text as a whole.
#include "topic/utf8_decode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DecodeCase {
    std::string body;
    bool wellFormed;
};

TEST(DecodePage, KeepsWellFormedAndDropsIllFormedWhole) {
    const DecodeCase cases[] = {
        {"", true},
        {"plain ascii <a href=\"x\">", true},
        {"中文 \xF0\x9F\x98\x80 é", true},
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", true},  // U+FFFF, U+10FFFF
        {std::string("nul\0inside", 10), true},
        {"a\x80"
         "b",
         false},                      // stray continuation
        {"\xC0\xAF", false},          // overlong "/"
        {"\xE0\x80\xAF", false},      // overlong, three bytes
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"good start, then cut \xE4\xB8", false},  // truncated at the end
        {"\xE4\xB8z and more", false},             // truncated inside
        {"\xFF", false},
        {std::string(100, 'a') + "\xE4\xB8\xAD" + std::string(100, 'b') + "\x80", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWellFormedUtf8(c.body), c.wellFormed) << c.body;
        EXPECT_EQ(DecodePage(c.body), c.wellFormed ? c.body : std::string());
    }
}

}  // namespace
