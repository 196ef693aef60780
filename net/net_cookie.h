// One cookie as a "Set-cookie" or "Set-cookie2" header value describes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovalin::net {

// Expiry instants are microseconds since 1970 GMT: wide enough for year 9999 and fine enough
// that a cookie with a MAX-AGE of 0 is already past at the next request.
using CookieTime = std::int64_t;

CookieTime CookieNow();

class TNetCookie {
  public:
    virtual ~TNetCookie() = default;

    std::string Name;
    std::string Value;
    std::string Path;                   // the "PATH" attribute, quotes removed; empty when absent
    std::string Domain;                 // the "DOMAIN" attribute; empty when absent
    std::optional<CookieTime> Expires;  // none: never expires
    bool Secure = false;
    std::string Comment;
    std::string Version;

    // Parses a header value; `now` is the instant a MAX-AGE counts from.
    void Parse(std::string_view value, CookieTime now);
};

class TNetCookieRFC2109 : public TNetCookie {};  // from "Set-cookie"
class TNetCookieRFC2965 : public TNetCookie {};  // from "Set-cookie2"

}  // namespace tovalin::net
