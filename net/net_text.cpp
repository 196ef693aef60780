#include "net/net_text.h"

#include <limits>

namespace tovalin::net {

namespace {
bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
}  // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlankOrControl(s.front()))
        s.remove_prefix(1);
    return TrimRight(s);
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlankOrControl(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = UpperChar(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    }
    return true;
}

bool EndsWithIgnoreCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

std::optional<std::int64_t> ParseDecimal(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    // Accumulate as a negative number so the minimum value fits too.
    std::int64_t value = 0;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        int digit = c - '0';
        if (value < (kMin + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin)
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::optional<int> ParseDecimal32(std::string_view s) {
    auto v = ParseDecimal(s);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

bool IsIPv4Address(std::string_view s) {
    int parts = 0;
    while (true) {
        auto dot = s.find('.');
        std::string_view part = s.substr(0, dot);
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        s.remove_prefix(dot + 1);
    }
    return parts == 4;
}

}  // namespace tovalin::net
