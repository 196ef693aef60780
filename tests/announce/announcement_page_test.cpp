// The record format, byte for byte on the raw page.
#include "announce/announcement_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ParseAnnouncementPage, ManyRecordsOnALargePageStayLinear) {
    // A page of 200 000 records parses in one pass, without copying the rest per record.
    std::string page;
    for (int k = 0; k < 200000; ++k) {
        page += "<P>velkorntitle:t</P><P>velkornurl:u</P>";
    }
    EXPECT_EQ(ParseAnnouncementPage(page).size(), 400000u);
}

}  // namespace
