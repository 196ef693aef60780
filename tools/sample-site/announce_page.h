#pragma once
// The announcement page of the sample site: a blog post holding thirteen records, each a title
// paragraph "<P>velkorntitle:…</P>" followed by an address paragraph "<P>velkornurl:…</P>".
// Records 1 to 5 are ticker titles, 6 to 12 are held and unused, record 13 announces the newest
// version and the address of the update.

#include <string>
#include <vector>

struct AnnouncementRecord {
    std::string title;
    std::string address;
};

// `base` is the site's address without a trailing slash.
// The version record 13 announces on the main page: newer than the program's own "1.0".
constexpr const char* kAnnouncedVersion = "1.1";
// The version on the second page, which offers no update (tests that must not meet the prompt).
constexpr const char* kRunningVersion = "1.0";

std::vector<AnnouncementRecord> AnnouncementRecords(const std::string& base,
                                                    const std::string& version = kAnnouncedVersion);
std::string AnnouncementPageHtml(const std::string& base,
                                 const std::string& version = kAnnouncedVersion);
