// Reading the date of a cookie's "EXPIRES" attribute: the RFC 1123, RFC 850 and asctime forms,
// two-digit years, and +hhmm / -hhmm zones.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tovalin::net {

// Seconds since 1970-01-01 00:00:00 GMT, or nullopt when the text is no readable date.
std::optional<std::int64_t> ParseCookieDate(std::string_view text);

// Days since 1970-01-01 of a proleptic Gregorian date (no range check).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

}  // namespace tovalin::net
