// The cookie store of one HTTP client: keeps what responses set and builds the "Cookie" value of
// later requests.
#pragma once

#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_cookie.h"

namespace tovalin::net {

// The cookies of one domain, in arrival order; a name (ignoring letter case) occurs once.
struct TNetCookieList {
    std::string Domain;
    std::vector<std::unique_ptr<TNetCookie>> Cookies;
};

// Every domain in the order of its first cookie.
using TNetCookies = std::vector<TNetCookieList>;

class TNetCookieManager {
  public:
    enum class Kind { SetCookie, SetCookie2 };

    // Parses one header value and stores the cookie, or drops it when its domain does not fit
    // the host that set it.
    void StoreCookie(std::string_view value, const std::string& host, const std::string& path,
                     Kind kind = Kind::SetCookie);
    // Drops expired cookies and returns the "Cookie" value for a request ("" for none).
    std::string CookieHeaderFor(const std::string& host, const std::string& path, bool secure);

    // A copy of the stored domains and cookies, for inspection.
    std::vector<std::pair<std::string, std::vector<TNetCookie>>> Snapshot() const;

    // Whether a response from `host` may set a cookie for `domain`.
    static bool AcceptsDomain(const std::string& domain, const std::string& host);
    // Whether a cookie stored for `domain` goes to `host`: the host equals the domain without
    // its leading ".", or ends with the domain when that begins with ".", ignoring letter case.
    static bool DomainMatches(const std::string& domain, const std::string& host);

  private:
    mutable std::shared_mutex lock_;
    TNetCookies domains_;
};

}  // namespace tovalin::net
