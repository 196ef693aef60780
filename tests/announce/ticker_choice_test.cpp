// The ticker's choices: rotation and click by text, the version check.
#include "announce/ticker_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "announce/decimal_version.h"

namespace {

using Items = std::vector<std::string>;

ShownOnTicker Showing(const std::string& text) {
    return [text](const std::string& item) { return item == text; };
}

Items Titles(int count) {
    Items items;
    for (int k = 1; k <= count; ++k) {
        items.push_back("T" + std::to_string(k));
        items.push_back("A" + std::to_string(k));
    }
    return items;
}

// What a tick leaves on show: the next title, or item 0 when reading fails.
std::string Tick(const Items& items, const std::string& shown) {
    try {
        return NextTickerTitle(items, Showing(shown));
    } catch (const EListIndexError&) {
        return AnnouncementItem(items, 0);
    }
}

std::vector<std::string> Cycle(const Items& items, int ticks) {
    std::vector<std::string> seen;
    std::string shown = items.at(0);
    for (int i = 0; i < ticks; ++i) {
        shown = Tick(items, shown);
        seen.push_back(shown);
    }
    return seen;
}

TEST(TickerRotation, FiveTitlesCycleAndWrap) {
    EXPECT_EQ(Cycle(Titles(13), 6), (std::vector<std::string>{"T2", "T3", "T4", "T5", "T1", "T2"}));
}

TEST(TickerRotation, ThreeTitlesWrapAfterTheThird) {
    EXPECT_EQ(Cycle(Titles(3), 4), (std::vector<std::string>{"T2", "T3", "T1", "T2"}));
}

TEST(TickerRotation, OneTitleStays) {
    EXPECT_EQ(Cycle(Titles(1), 3), (std::vector<std::string>{"T1", "T1", "T1"}));
}

TEST(TickerRotation, UnknownTextGoesToTheFirstTitle) {
    EXPECT_EQ(NextTickerTitle(Titles(5), Showing("")), "T1");
    EXPECT_EQ(NextTickerTitle(Titles(5), Showing("T5")), "T1");
}

TEST(TickerRotation, ShortListThrowsTheIndexError) {
    EXPECT_THROW(NextTickerTitle(Titles(1), Showing("T1")), EListIndexError);
    EXPECT_THROW(NextTickerTitle(Titles(1), Showing("other")), EListIndexError);
}

TEST(TickerRotation, EqualTitlesFollowTheTextNotThePosition) {
    Items items = Titles(5);
    items[4] = "T1";  // title 3 equals title 1
    EXPECT_EQ(Cycle(items, 4), (std::vector<std::string>{"T2", "T1", "T2", "T1"}));
    EXPECT_EQ(ClickedAddress(items, Showing("T1")), "A1");
}

TEST(TickerClick, EachTitleOpensItsOwnAddress) {
    const Items items = Titles(5);
    EXPECT_EQ(ClickedAddress(items, Showing("T1")), "A1");
    EXPECT_EQ(ClickedAddress(items, Showing("T4")), "A4");
    EXPECT_EQ(ClickedAddress(items, Showing("T5")), "A5");
    EXPECT_EQ(ClickedAddress(items, Showing("none of them")), "A5");
}

TEST(TickerClick, ThreeTitlesOpenTheirAddressesAndFailElsewhere) {
    const Items items = Titles(3);
    EXPECT_EQ(ClickedAddress(items, Showing("T3")), "A3");
    EXPECT_THROW(ClickedAddress(items, Showing("T9")), EListIndexError);
}

TEST(TickerClick, ShortListRaisesTheListIndexError) {
    try {
        ClickedAddress(Titles(2), Showing("x"));
        FAIL() << "no error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (4)");
    }
}

struct VersionCase {
    const char* latest;
    const char* current;
    bool newer;
};

class DecimalVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(DecimalVersions, CompareAsNumbers) {
    EXPECT_EQ(IsNewerVersion(GetParam().latest, GetParam().current), GetParam().newer)
        << GetParam().latest << " vs " << GetParam().current;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimalVersions,
    ::testing::Values(VersionCase{"1.1", "1.0", true}, VersionCase{"1.0", "1.0", false},
                      VersionCase{"1.00", "1.0", false}, VersionCase{"0.9", "1.0", false},
                      VersionCase{"1.10", "1.9", false}, VersionCase{"1.9", "1.10", true},
                      VersionCase{"2", "1.0", true}, VersionCase{"10", "9.99", true},
                      VersionCase{"001.5", "1.4999", true}, VersionCase{".5", "0.49", true},
                      VersionCase{"1.", "1.0", false}, VersionCase{"+1.1", "1.0", true},
                      VersionCase{"-2", "-3", true}, VersionCase{"-0", "0", false},
                      VersionCase{" 1.1\r\n", "1.0", true},
                      VersionCase{"123456789012345678901234567890.1",
                                  "123456789012345678901234567890.09", true}),
    [](const ::testing::TestParamInfo<VersionCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(DecimalVersions, TextsThatAreNotNumbersThrow) {
    for (const char* bad : {"V1.1", "1.1.1", "1,1", "1e2", "", " ", ".", "+", "-.", "1 1", "0x10",
                            "1.1a", "\xEF\xBC\x91"}) {
        EXPECT_THROW(IsNewerVersion(bad, "1.0"), EVersionText) << bad;
    }
}

TEST(UpdateOffer, OnlyOnTheFirstCountedTickAndOnlyWhenNewer) {
    EXPECT_TRUE(ShouldOfferUpdate("1.1", "1.0", 1));
    EXPECT_FALSE(ShouldOfferUpdate("1.1", "1.0", 2));
    EXPECT_FALSE(ShouldOfferUpdate("1.0", "1.0", 1));
    EXPECT_FALSE(ShouldOfferUpdate("", "1.0", 1));
    EXPECT_FALSE(ShouldOfferUpdate(" \t", "1.0", 1));
}

TEST(UpdateOffer, UnreadableVersionFailsEveryTick) {
    EXPECT_THROW(ShouldOfferUpdate("V1.1", "1.0", 1), EVersionText);
    EXPECT_THROW(ShouldOfferUpdate("V1.1", "1.0", 7), EVersionText);
    EXPECT_THROW(ShouldOfferUpdate("1.1", "one", 7), EVersionText);
}

}  // namespace
