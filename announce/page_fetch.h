#pragma once
// Fetching the announcement page: one try, then up to ten repeats at once, all through the same
// getter (one HTTP client). Every failure of a try is swallowed; the page is not worth an error.

#include <functional>
#include <optional>
#include <string>

// GETs an address and returns the body, or throws on any failure.
using PageGetter = std::function<std::string(const std::string& address)>;

// Repeats after a failed first try. There is no pause between tries: the page is fetched once,
// while the window opens, and the user is not kept waiting longer than eleven quick failures.
inline constexpr int kAnnouncementRetries = 10;

// The body of the first try that succeeds, or nothing when all 1 + kAnnouncementRetries failed.
std::optional<std::string> FetchWithRetries(const PageGetter& get, const std::string& address);
