// The record format, byte for byte on the raw page.
#include "announce/announcement_page.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/announce/announcement_page_reference.h"

namespace {

using Items = std::vector<std::string>;

std::string Record(const std::string& title, const std::string& address) {
    return "<P>velkorntitle:" + title + "</P>\n<p>filler</p>\n<P>velkornurl:" + address + "</P>\n";
}

std::string Records(int count) {
    std::string page = "<html><body><div class=post>";
    for (int k = 1; k <= count; ++k) {
        page += Record("t" + std::to_string(k), "http://a/" + std::to_string(k));
    }
    return page + "</div></body></html>";
}

struct ParseCase {
    const char* name;
    std::string page;
    Items expected;
};

class ParsePage : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParsePage, GivesTheRecordTexts) {
    EXPECT_EQ(ParseAnnouncementPage(GetParam().page), GetParam().expected);
    EXPECT_EQ(reference::ParseAnnouncementPage(GetParam().page), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParsePage,
    ::testing::Values(
        ParseCase{"Empty", "", {}}, ParseCase{"NoRecords", "<html><P>hello</P></html>", {}},
        ParseCase{"TwoRecords",
                  Record("One", "http://x/1") + Record("Two", "http://x/2"),
                  {"One", "http://x/1", "Two", "http://x/2"}},
        ParseCase{"LowerCaseParagraphTagIsNoMarker",
                  "<p>velkorntitle:a</p><p>velkornurl:b</p>" + Record("c", "d"),
                  {"c", "d"}},
        ParseCase{"LowerCaseAddressTagIsNoMarker",
                  "<P>velkorntitle:a</P><p>velkornurl:b</p><P>velkornurl:c</P>",
                  {"a", "c"}},
        ParseCase{
            "SpaceAfterColonStays", Record(" Spaced", " http://x/"), {" Spaced", " http://x/"}},
        ParseCase{"EmptyTitle", "<P>velkorntitle:</P><P>velkornurl:u</P>", {"", "u"}},
        ParseCase{"NoTrimNoMarkupRemovedNoEntities",
                  "<P>velkorntitle:\t<b>A&amp;B</b> \r\n</P><P>velkornurl:x?a=1&amp;b=2 </P>",
                  {"\t<b>A&amp;B</b> \r\n", "x?a=1&amp;b=2 "}},
        ParseCase{"TwoTitlesBeforeOneAddress",
                  "<P>velkorntitle:first</P><P>velkorntitle:second</P><P>velkornurl:u</P>" +
                      Record("third", "v"),
                  {"first", "u", "third", "v"}},
        ParseCase{"TitleWithoutAnyAddressAfterItIsDropped",
                  Record("a", "b") + "<P>velkorntitle:orphan</P><p>end</p>",
                  {"a", "b"}},
        ParseCase{"OnlyAnOrphanTitle", "<P>velkorntitle:orphan</P>", {}},
        ParseCase{"UnclosedTitleGivesEmptyItem", "<P>velkorntitle:open <P>velkornurl:u", {"", ""}},
        ParseCase{"UnclosedAddressGivesEmptyItem",
                  Record("n", "m") + "<P>velkorntitle:t</P><P>velkornurl:u",
                  {"n", "m", "t", ""}},
        // An address paragraph runs to the first "</P>" after it, whichever paragraph that ends.
        ParseCase{"AddressRunsIntoTheNextTitle",
                  "<P>velkorntitle:t</P><P>velkornurl:u" + Record("n", "m"),
                  {"t", "u<P>velkorntitle:n", "n", "m"}},
        ParseCase{"TitleEndsAtFirstClose",
                  "<P>velkorntitle:a</P>b</P><P>velkornurl:c</P>d</P>",
                  {"a", "c"}},
        // The address is looked for from the title marker on, so a marker inside the title
        // paragraph is the one taken.
        ParseCase{"AddressMarkerInsideTitle",
                  "<P>velkorntitle:<P>velkornurl:x</P>",
                  {"<P>velkornurl:x", "x"}},
        ParseCase{"DuplicatesKept",
                  Record("same", "u") + Record("same", "u"),
                  {"same", "u", "same", "u"}},
        // UTF-8 and stray bytes pass through untouched.
        ParseCase{"BytesUntouched",
                  Record(std::string("\xE6\xBE\x9C\xE9\xA1\xB5 \xFF\x00x", 10), "\x80"),
                  {std::string("\xE6\xBE\x9C\xE9\xA1\xB5 \xFF\x00x", 10), "\x80"}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(ReadAnnouncements, TwoRecordsGiveFourItemsAndNoVersion) {
    const Announcements a = ReadAnnouncements(Records(2));
    EXPECT_EQ(a.items, (Items{"t1", "http://a/1", "t2", "http://a/2"}));
    EXPECT_EQ(a.latestVersion, "");
}

TEST(ReadAnnouncements, ThirteenRecordsGiveVersionAndUpdateAddress) {
    const Announcements a = ReadAnnouncements(Records(13));
    ASSERT_EQ(a.items.size(), 26u);
    EXPECT_EQ(a.latestVersion, "t13");
    EXPECT_EQ(a.items[kUpdateAddressItem], "http://a/13");
}

TEST(ReadAnnouncements, RecordsPastTheThirteenthAreKept) {
    const Announcements a = ReadAnnouncements(Records(15));
    ASSERT_EQ(a.items.size(), 30u);
    EXPECT_EQ(a.latestVersion, "t13");
    EXPECT_EQ(a.items[28], "t15");
    EXPECT_EQ(a.items[29], "http://a/15");
}

TEST(ReadAnnouncements, TwelveAndAHalfRecordsGiveNoVersion) {
    // The thirteenth title has no address after it, so it is dropped with the scan's end.
    const Announcements a = ReadAnnouncements(Records(12) + "<P>velkorntitle:1.1</P>");
    EXPECT_EQ(a.items.size(), 24u);
    EXPECT_EQ(a.latestVersion, "");
}

// Pages made of the pieces the parse reacts to, in random order: markers whole and cut short,
// closes of both cases, blanks at the ends, stray bytes and plain text.
std::string RandomPage(std::mt19937& random) {
    static const std::string_view kPieces[] = {kTitleMarker,
                                               kAddressMarker,
                                               kParagraphEnd,
                                               kTitleMarker,
                                               kAddressMarker,
                                               kParagraphEnd,
                                               "<P>",
                                               "</p>",
                                               "<P>velkorntitle",
                                               "<p>velkornurl:",
                                               "velkornurl:",
                                               "</P",
                                               " ",
                                               "\n",
                                               "\t",
                                               std::string_view("\0", 1),
                                               "\xFF",
                                               "x",
                                               "t1",
                                               "http://a/"};
    std::uniform_int_distribution<std::size_t> length(0, 40);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::string page;
    for (std::size_t n = length(random); n > 0; --n) {
        page += kPieces[piece(random)];
    }
    return page;
}

// The linear parse gives what the first-written one gives, cut to the bound on what the record
// texts may total, on every page.
void ExpectSameAsReference(const std::string& page) {
    EXPECT_EQ(ParseAnnouncementPage(page),
              reference::WithinBound(reference::ParseAnnouncementPage(page), page.size()))
        << testing::PrintToString(page);
}

TEST(ParseAnnouncementPage, GivesWhatTheFirstWrittenParseGaveOnRandomPages) {
    std::mt19937 random(20261211);
    int withRecords = 0;
    for (int round = 0; round < 50000; ++round) {
        const std::string page = RandomPage(random);
        ExpectSameAsReference(page);
        withRecords += ParseAnnouncementPage(page).empty() ? 0 : 1;
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_GT(withRecords, 5000);  // the pieces make records often enough to say something
}

// Markers inside unclosed paragraphs: every text runs on to the one "</P>" at the end, so the
// texts overlap and their total grows with the square of the records. The parse keeps the whole
// records that fit in four times the page and leaves the rest out.
TEST(ParseAnnouncementPage, OverlappingRecordsStopAtFourTimesThePage) {
    for (const std::string_view pair : {std::string_view("<P>velkorntitle:a<P>velkornurl:b"),
                                        std::string_view("<P>velkorntitle:<P>velkornurl:\n")}) {
        std::string page;
        for (int k = 0; k < 200; ++k) {
            page += pair;
        }
        page += "</P>";
        const std::vector<std::string> all = reference::ParseAnnouncementPage(page);
        const std::vector<std::string> items = ParseAnnouncementPage(page);
        ASSERT_EQ(all.size(), 400u);
        ASSERT_LT(items.size(), all.size());
        ASSERT_GT(items.size(), 2u);
        std::size_t total = 0;
        for (const std::string& item : items) {
            total += item.size();
        }
        EXPECT_LE(total, 4 * page.size());
        // The next record would have gone past.
        EXPECT_GT(total + all[items.size()].size() + all[items.size() + 1].size(), 4 * page.size());
        ExpectSameAsReference(page);
    }
    // An honest page stays whole however many records it holds.
    const std::string page = Records(2000);
    EXPECT_EQ(ParseAnnouncementPage(page).size(), 4000u);
    ExpectSameAsReference(page);
}

// Records that overlap by every amount around the bound: n records whose paragraphs all run on
// to one "</P>" after L filler bytes. Some of these pages take exactly four times their size and
// stop there; in others the next record would go one byte past.
TEST(ParseAnnouncementPage, OverlappingRecordsAtTheBoundGiveTheReferencePrefix) {
    int exactlyFull = 0;
    int oneBytePast = 0;
    for (int gap = 0; gap < 2; ++gap) {
        for (int records = 1; records <= 12; ++records) {
            for (int filler = 0; filler <= 200; ++filler) {
                std::string page;
                for (int k = 0; k < records; ++k) {
                    page += std::string(kTitleMarker) + std::string(gap, 'a') +
                            std::string(kAddressMarker);
                }
                page += std::string(filler, 'x') + "</P>";
                ExpectSameAsReference(page);
                // Classify the page by how the reference's records meet the bound.
                const std::vector<std::string> all = reference::ParseAnnouncementPage(page);
                std::size_t total = 0;
                for (std::size_t i = 0; i < all.size(); i += 2) {
                    const std::size_t next = total + all[i].size() + all[i + 1].size();
                    exactlyFull += total == 4 * page.size() ? 1 : 0;
                    oneBytePast += next == 4 * page.size() + 1 ? 1 : 0;
                    total = next;
                }
            }
        }
    }
    EXPECT_GT(exactlyFull, 0);
    EXPECT_GT(oneBytePast, 0);
}

TEST(ParseAnnouncementPage, UnclosedParagraphsOnALargePageStayLinear) {
    // 100 000 record pairs without a "</P>" (3.2 MB) took minutes while each paragraph looked
    // for its close to the page's end; every text is empty.
    std::string page;
    for (int k = 0; k < 100000; ++k) {
        page += "<P>velkorntitle:x<P>velkornurl:y";
    }
    const std::vector<std::string> items = ParseAnnouncementPage(page);
    ASSERT_EQ(items.size(), 200000u);
    EXPECT_EQ(items.front(), "");
    EXPECT_EQ(items.back(), "");
}

TEST(ParseAnnouncementPage, ManyRecordsOnALargePageStayLinear) {
    // A page of 200 000 records parses in one pass, without copying the rest per record.
    std::string page;
    for (int k = 0; k < 200000; ++k) {
        page += "<P>velkorntitle:t</P><P>velkornurl:u</P>";
    }
    EXPECT_EQ(ParseAnnouncementPage(page).size(), 400000u);
}

}  // namespace
