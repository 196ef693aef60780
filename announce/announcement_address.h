#pragma once
// Where the announcement page lives. There is none unless the build names one: updates come from
// the system's package manager, and a page is only asked for where a packager configured it.

#include <string>

// The address the build was configured with (the TOVALIN_ANNOUNCE_URL cache variable); empty by
// default.
extern const char* const kBuiltInAnnouncementAddress;

// Name of the environment variable that points the feed at another page (a local sample site,
// a test server); used when set and not empty.
inline constexpr const char* kAnnouncementAddressVariable = "TOVALIN_ANNOUNCE_URL";

// The page to fetch; empty when there is none, and then no announcement worker starts.
std::string AnnouncementAddress();
