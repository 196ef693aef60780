#include "net/net_cookie_date.h"

#include <array>
#include <string>

#include "net/net_text.h"

namespace tovalin::net {
namespace {

constexpr std::array<std::string_view, 7> kDays = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr std::array<std::string_view, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr int kTwoDigitPivot = 80;  // below: 20xx, from here: 19xx
constexpr int kMaxYear = 9999;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void SkipBlanks(std::string_view& s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
}

// The text up to `sep` (or the end); the separator and the blanks after it are consumed.
std::string_view NextField(std::string_view& s, char sep) {
    auto end = s.find(sep);
    std::string_view field = s.substr(0, end);
    s.remove_prefix(end == std::string_view::npos ? s.size() : end + 1);
    SkipBlanks(s);
    return field;
}

// 1..12 when the field names a month, else 0.
int MonthNumber(std::string_view field) {
    if (field.size() < 3)
        return 0;
    for (char c : field) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return 0;
    }
    std::string head = UpperAscii(field.substr(0, 3));
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (head == kMonths[i])
            return static_cast<int>(i) + 1;
    }
    return 0;
}

bool IsLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(std::int64_t y, int m) {
    static constexpr int kLen[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kLen[m - 1];
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<std::int64_t> ParseCookieDate(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.size() >= 3) {
        std::string head = UpperAscii(s.substr(0, 3));
        for (auto day : kDays) {
            if (head == day) {
                auto space = s.find(' ');
                s.remove_prefix(space == std::string_view::npos ? s.size() : space);
                SkipBlanks(s);
                break;
            }
        }
    }

    const auto firstSpace = s.find(' ');
    const auto dash = s.find('-', 1);
    const char sep = dash != std::string_view::npos &&
                             (firstSpace == std::string_view::npos || dash < firstSpace)
                         ? '-'
                         : ' ';

    std::string_view first = NextField(s, sep);
    int month;
    std::string_view dayField;
    if (MonthNumber(first) != 0) {
        month = MonthNumber(first);
        dayField = NextField(s, sep);
    } else {
        dayField = first;
        month = MonthNumber(NextField(s, sep));
        if (month == 0)
            return std::nullopt;
    }
    const auto dayValue = ParseDecimal(dayField);
    const std::int64_t day = dayValue ? *dayValue : 1;

    std::string_view timeField;
    std::string_view yearField = NextField(s, ' ');
    if (!ParseDecimal(yearField)) {
        // The asctime form: the time comes before the year.
        timeField = yearField;
        yearField = NextField(s, ' ');
    } else if (s.find(':') != std::string_view::npos) {
        timeField = NextField(s, ' ');
    }
    auto yearValue = ParseDecimal(yearField);
    if (!yearValue)
        return std::nullopt;
    std::int64_t year = *yearValue;
    if (year >= 0 && year < kTwoDigitPivot) {
        year += 2000;
    } else if (year >= kTwoDigitPivot && year < 100) {
        year += 1900;
    }

    std::int64_t hms[3] = {0, 0, 0};
    for (int i = 0; i < 3 && !timeField.empty(); ++i) {
        hms[i] = ParseDecimal(NextField(timeField, ':')).value_or(0);
    }

    std::int64_t offsetSeconds = 0;
    std::string_view zone = Trim(s);
    if (zone.size() >= 5 && (zone[0] == '+' || zone[0] == '-')) {
        const std::int64_t hhmm = ParseDecimal(zone.substr(1, 4)).value_or(0);
        offsetSeconds = (hhmm / 100) * 3600 + (hhmm % 100) * 60;
        if (zone[0] == '-')
            offsetSeconds = -offsetSeconds;
    }

    if (year < 1 || year > kMaxYear || day < 1 || day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    if (hms[0] < 0 || hms[0] >= 24 || hms[1] < 0 || hms[1] >= 60 || hms[2] < 0 || hms[2] >= 60) {
        return std::nullopt;
    }
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + hms[0] * 3600 + hms[1] * 60 + hms[2] - offsetSeconds;
}

}  // namespace tovalin::net
