#include "net/net_cookie.h"

#include <chrono>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "net/net_cookie_date.h"
#include "net/net_text.h"

namespace tovalin::net {
namespace {

constexpr std::int64_t kMicrosPerSecond = 1'000'000;
// A MAX-AGE beyond this many seconds (about 3000 years) is held as this: it keeps the
// arithmetic on expiry instants far from overflow and changes no outcome.
constexpr std::int64_t kMaxAgeCap = 100'000'000'000;
// An "EXPIRES" text that is no date makes the cookie long past.
constexpr CookieTime kLongPast = std::numeric_limits<CookieTime>::min();

std::vector<std::string_view> SplitItems(std::string_view value) {
    std::vector<std::string_view> items;
    for (;;) {
        auto semi = value.find(';');
        items.push_back(Trim(value.substr(0, semi)));
        if (semi == std::string_view::npos)
            break;
        value.remove_prefix(semi + 1);
    }
    return items;
}

}  // namespace

CookieTime CookieNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void TNetCookie::Parse(std::string_view value, CookieTime now) {
    auto items = SplitItems(value);
    const std::string_view first = items.front();
    auto eq = first.find('=');
    if (eq == std::string_view::npos) {
        Name.clear();
        Value.clear();
    } else {
        Name = first.substr(0, eq);
        Value = first.substr(eq + 1);
    }

    // An item with "=" is an attribute (the first occurrence of a name counts); one without is
    // a flag. A bare flag never stands in for an attribute of its name: a lone "expires" is no
    // date and leaves a MAX-AGE in force.
    std::map<std::string, std::string> attributes;
    std::set<std::string> flags;
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::string_view item = items[i];
        auto e = item.find('=');
        if (e == std::string_view::npos) {
            flags.insert(UpperAscii(item));
        } else {
            attributes.emplace(UpperAscii(item.substr(0, e)), std::string(item.substr(e + 1)));
        }
    }
    auto find = [&](const char* name) -> const std::string* {
        auto it = attributes.find(name);
        return it == attributes.end() ? nullptr : &it->second;
    };

    Path.clear();
    if (const auto* path = find("PATH")) {
        std::string_view p = *path;
        if (!p.empty() && p.front() == '"')
            p.remove_prefix(1);
        if (!p.empty() && p.back() == '"')
            p.remove_suffix(1);
        Path = p;
    }
    Domain = find("DOMAIN") ? *find("DOMAIN") : "";
    Comment = find("COMMENT") ? *find("COMMENT") : "";
    Version = find("VERSION") ? *find("VERSION") : "";
    // "Secure=anything" is secure too: a cookie kept from the wire errs on the safe side.
    Secure = flags.count("SECURE") != 0 || find("SECURE") != nullptr;

    Expires.reset();
    if (const auto* expires = find("EXPIRES")) {
        auto seconds = ParseCookieDate(*expires);
        Expires = seconds ? *seconds * kMicrosPerSecond : kLongPast;
    } else if (const auto* maxAge = find("MAX-AGE")) {
        auto seconds = ParseDecimal(*maxAge);
        if (seconds && *seconds >= 0) {
            Expires = now + std::min(*seconds, kMaxAgeCap) * kMicrosPerSecond;
        }
    }
}

}  // namespace tovalin::net
