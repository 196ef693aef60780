// A body that is not well-formed UTF-8 becomes the empty page text as a whole.
#include "topic/utf8_decode.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
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
        EXPECT_EQ(IsWellFormedUtf8Scalar(c.body), c.wellFormed) << c.body;
        EXPECT_EQ(DecodePage(c.body), c.wellFormed ? c.body : std::string());
    }
}

// Random texts made of the pieces that trip validators: valid characters of every length, the
// boundary bytes of each range, cut-short sequences, at every place of a 16-byte block. The
// block-wise check must agree with the byte-at-a-time one on every text.
TEST(DecodePage, BlockCheckAgreesWithTheByteCheck) {
    std::mt19937 random(20261210);
    const auto encode = [](char32_t c) {
        std::string out;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        return out;
    };
    const unsigned char edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                   0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF,
                                   0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF7, 0xF8, 0xFE, 0xFF};
    const char32_t points[] = {0x7F,     0x80,   0x7FF,   0x800,   0xFFF,   0x1000,  0xD7FF,
                               0xE000,   0xFFFF, 0x10000, 0x3FFFF, 0x40000, 0xFFFFF, 0x100000,
                               0x10FFFF, 0x4E2D, 0xD800,  0xDFFF};  // the last two encode
                                                                    // surrogates: ill-formed
    int disagreements = 0;
    int illFormed = 0;
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        const int pieces = static_cast<int>(random() % 24);
        for (int k = 0; k < pieces; ++k) {
            switch (random() % 6) {
                case 0:
                    text += static_cast<char>('a' + random() % 26);
                    break;
                case 1:
                    text += encode(points[random() % std::size(points)]);
                    break;
                case 2: {
                    const char32_t c = static_cast<char32_t>(random() % 0x110000);
                    text += encode(c >= 0xD800 && c < 0xE000 ? 0x4E2D : c);
                    break;
                }
                case 3:
                    text += static_cast<char>(edges[random() % std::size(edges)]);
                    break;
                case 4: {
                    const std::string whole = encode(points[random() % std::size(points)]);
                    text += whole.substr(0, 1 + random() % whole.size());
                    break;
                }
                default:
                    text += std::string(random() % 20, 'x');
            }
        }
        const bool expected = IsWellFormedUtf8Scalar(text);
        illFormed += expected ? 0 : 1;
        if (IsWellFormedUtf8(text) != expected && ++disagreements < 5) {
            ADD_FAILURE() << "disagree on " << ::testing::PrintToString(text);
        }
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(illFormed, 10000);  // both kinds of text were tried
    EXPECT_LT(illFormed, 190000);
}

}  // namespace
