#pragma once
// Where the announcement page lives.

#include <string>

// The post page on the blog host that the program's makers keep their records on.
inline constexpr const char* kBuiltInAnnouncementAddress =
    "http://tovalin.blogspot.com/2026/12/tovalin-announcements.html";

// Name of the environment variable that points the feed at another page (a local sample site,
// a test server); used when set and not empty.
inline constexpr const char* kAnnouncementAddressVariable = "TOVALIN_ANNOUNCE_URL";

std::string AnnouncementAddress();
