// Folding of header lines longer than 1024 characters.
#include <gtest/gtest.h>

#include "net/net_header_fold.h"

namespace tovalin::test {
namespace {

using tovalin::net::FoldHeaderLine;

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "|";
    return out;
}

TEST(HeaderFold, ShortLinesStayWhole) {
    const std::string line = "Cookie: " + std::string(1016, 'a');  // exactly 1024
    EXPECT_EQ(std::vector<std::string>{line}, FoldHeaderLine(line));
}

TEST(HeaderFold, BreaksAfterTheLastBlankBeforeTheLimit) {
    const std::string first = "Cookie: " + std::string(1000, 'a') + ";";
    const std::string second = std::string(50, 'b') + ";";
    const std::string third = std::string(20, 'c');
    auto lines = FoldHeaderLine(first + " " + second + " " + third);
    EXPECT_EQ(Join({first, " " + second + " " + third}), Join(lines));
}

TEST(HeaderFold, NoBreakInsideQuotes) {
    const std::string quoted = "\"" + std::string(600, 'q') + " " + std::string(600, 'q') + "\"";
    const std::string line = "X: " + quoted + " tail";
    auto lines = FoldHeaderLine(line);
    // The only break points lie outside the quotes: after "X:" and before "tail".
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("X:", lines[0]);
    EXPECT_EQ(" " + quoted, lines[1]);
    EXPECT_EQ(" tail", lines[2]);
}

TEST(HeaderFold, LineWithoutBreakPointStaysWhole) {
    const std::string line = "X:" + std::string(3000, 'z');
    EXPECT_EQ(std::vector<std::string>{line}, FoldHeaderLine(line));
}

TEST(HeaderFold, SeveralPiecesEachWithinTheLimitAndRunsOfBlanksSkipped) {
    std::string line = "Cookie: ";
    for (int i = 0; i < 200; ++i)
        line += "n" + std::to_string(i) + "=vvvvvvvvvvvvvvv;   ";
    line += "end=1";
    auto lines = FoldHeaderLine(line);
    ASSERT_GE(lines.size(), 3u);
    std::string rejoined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1030u);
        if (i > 0) {
            ASSERT_EQ(' ', lines[i][0]);
            EXPECT_NE(' ', lines[i][1]);
        }
        rejoined += lines[i];
    }
    auto squeeze = [](std::string s) {
        std::string out;
        for (char c : s) {
            if (c != ' ')
                out.push_back(c);
        }
        return out;
    };
    EXPECT_EQ(squeeze(line), squeeze(rejoined));
}

}  // namespace
}  // namespace tovalin::test
