// Reading "EXPIRES" dates: the three forms, two-digit years, zones and impossible dates.
#include <gtest/gtest.h>

#include <ctime>

#include "net/net_cookie_date.h"

namespace tovalin::test {
namespace {

using tovalin::net::ParseCookieDate;

std::int64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return static_cast<std::int64_t>(timegm(&t));
}

struct DateRow {
    const char* text;
    bool readable;
    std::int64_t expected;
};

TEST(CookieDate, Table) {
    const std::int64_t kRfc = Utc(1994, 11, 6, 8, 49, 37);  // 784111777
    ASSERT_EQ(784111777, kRfc);
    const DateRow rows[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", true, kRfc},
        {"Sunday, 06-Nov-94 08:49:37 GMT", true, kRfc},
        {"Sun Nov  6 08:49:37 1994", true, kRfc},
        {"Sun Nov 6 8:49:37 1994", true, kRfc},
        {"Sun Nov 6 8:9:37 1994", true, Utc(1994, 11, 6, 8, 9, 37)},
        {"06 Nov 1994 08:49:37 GMT", true, kRfc},
        {"06-Nov-94 08:49:37", true, kRfc},
        {"Nov  6 08:49:37 1994", true, kRfc},
        {"  sun, 06 nov 1994 08:49:37 gmt  ", true, kRfc},
        {"Thu, 01-Jan-1970 00:00:00 GMT", true, 0},
        {"Sun, 06 Nov 1994", true, Utc(1994, 11, 6)},
        {"Sun, 06 Nov 1994 08:49 GMT", true, Utc(1994, 11, 6, 8, 49, 0)},
        {"Sun, 06 Nov 1994 08:xx:37 GMT", true, Utc(1994, 11, 6, 8, 0, 37)},
        // Two-digit years: below 80 in this century, from 80 in the last.
        {"Mon, 18-Apr-77 22:50:13 GMT", true, Utc(2077, 4, 18, 22, 50, 13)},
        {"Sat, 06-Nov-00 08:49:37 GMT", true, Utc(2000, 11, 6, 8, 49, 37)},
        {"Mon, 06-Nov-79 08:49:37 GMT", true, Utc(2079, 11, 6, 8, 49, 37)},
        {"Thu, 06-Nov-80 08:49:37 GMT", true, Utc(1980, 11, 6, 8, 49, 37)},
        {"Sat, 06-Nov-99 08:49:37 GMT", true, Utc(1999, 11, 6, 8, 49, 37)},
        {"Sun Nov 6 08:49:37 94", true, kRfc},
        // Offsets from GMT.
        {"Wed, 09 Jun 2021 10:18:14 +0100", true, Utc(2021, 6, 9, 9, 18, 14)},
        {"Wed, 09 Jun 2021 10:18:14 -0430", true, Utc(2021, 6, 9, 14, 48, 14)},
        {"Wed, 09 Jun 2021 10:18:14 +01", true, Utc(2021, 6, 9, 10, 18, 14)},
        {"Wed, 09 Jun 2021 10:18:14 CET", true, Utc(2021, 6, 9, 10, 18, 14)},
        // A day that is not a number is day 1.
        {"Wed, xx Jun 2021 10:18:14 GMT", true, Utc(2021, 6, 1, 10, 18, 14)},
        {"Thu, 29 Feb 2024 00:00:00 GMT", true, Utc(2024, 2, 29)},
        // Unreadable.
        {"Wed, 31 Jun 2021 10:18:14 GMT", false, 0},
        {"Wed, 29 Feb 2023 10:18:14 GMT", false, 0},
        {"Wed, 09 Jun 2021 24:00:00 GMT", false, 0},
        {"Wed, 09 Jun 2021 10:60:00 GMT", false, 0},
        {"Wed, 09 Foo 2021 10:18:14 GMT", false, 0},
        {"Wed, 00 Jun 2021 10:18:14 GMT", false, 0},
        {"Sun, 06 Nov", false, 0},
        {"", false, 0},
        {"tomorrow", false, 0},
        {"Sun, 06 Nov 99999999999999999999 08:49:37 GMT", false, 0},
        {"Sun, 06 Nov 10000 08:49:37 GMT", false, 0},
        {"Sun Nov  6 008:09:37 1994", true, Utc(1994, 11, 6, 8, 9, 37)},
        {"Sat, 15-Apr-17 21:01:22 -0400", true, 1492304482},
        {"Thu, 31-Dec-1969 23:59:59 GMT", true, -1},
        {"Wed, 31 Dec 2008 23:59:60 GMT", false, 0},
        {"02-Feb-1994 24:00", false, 0},
        // After a day name everything up to the first space goes, a day glued to it included.
        {"Wed,18-Apr-07 22:50:12 GMT", false, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        auto got = ParseCookieDate(r.text);
        ASSERT_EQ(r.readable, got.has_value());
        if (r.readable) {
            EXPECT_EQ(r.expected, *got);
        }
    }
}

TEST(CookieDate, YearNineThousandDoesNotOverflow) {
    auto got = ParseCookieDate("Fri, 31 Dec 9999 23:59:59 GMT");
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(253402300799, *got);
}

}  // namespace
}  // namespace tovalin::test
