#pragma once
// The record format of the announcement page: title paragraphs "<P>velkorntitle:" ... "</P>",
// each followed later by an address paragraph "<P>velkornurl:" ... "</P>". The page is read as
// raw bytes; nothing is decoded, trimmed or unescaped inside a record.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kTitleMarker = "<P>velkorntitle:";
inline constexpr std::string_view kAddressMarker = "<P>velkornurl:";
inline constexpr std::string_view kParagraphEnd = "</P>";

// Item 24 (the title of record 13) carries the newest version, item 25 the update address.
inline constexpr std::size_t kLatestVersionItem = 24;
inline constexpr std::size_t kUpdateAddressItem = 25;

// What the record texts of one page may total, as a multiple of the page's size. The texts of an
// honest page are disjoint pieces of it; only markers standing inside an earlier record's
// unclosed paragraph make them overlap, and then every record runs on to one far "</P>": a page of
// a few megabytes would ask for hundreds of gigabytes.
inline constexpr std::size_t kMaxRecordBytesPerPageByte = 4;

// The record texts in page order, two per record: title at 2k, address at 2k + 1. A title
// paragraph with no address marker anywhere after it ends the scan and is left out, so the list
// always holds whole records. A record that would take the texts past the bound above ends the
// scan too, and it and every later record are left out. Linear in the page.
std::vector<std::string> ParseAnnouncementPage(std::string_view body);

// What one successful fetch yields, handed to the ticker as a whole.
struct Announcements {
    std::vector<std::string> items;
    std::string latestVersion;  // copy of item 24; empty when the page has fewer records
};

Announcements ReadAnnouncements(std::string_view body);
