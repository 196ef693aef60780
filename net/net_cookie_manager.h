// The cookie store of one HTTP client: keeps what responses set and builds the "Cookie" value of
// later requests. Stores, replaces and looks up in logarithmic time, and stays bounded as
// browsers bound theirs, whatever the servers send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/net_cookie.h"

namespace tovalin::net {

class TNetCookieManager {
  public:
    enum class Kind { SetCookie, SetCookie2 };

    // Bounds, as browsers keep them: a site cannot crowd out every other one, nor make every
    // request (and the store) grow without end. The least recently set cookies go first.
    static constexpr std::size_t kMaxCookiesPerDomain = 180;
    static constexpr std::size_t kMaxCookies = 3000;
    // A cookie whose name and value together are longer is ignored.
    static constexpr std::size_t kMaxNameValueBytes = 4096;
    // Further cookies of one response are ignored.
    static constexpr std::size_t kMaxCookiesPerResponse = 50;

    // Parses one header value and stores the cookie, or drops it when its domain does not fit
    // the host that set it, when it is too long, or when its name or value holds a control
    // byte (it would go out inside the "Cookie" line).
    void StoreCookie(std::string_view value, const std::string& host, const std::string& path,
                     Kind kind = Kind::SetCookie);
    // The cookie headers of one response: the "Set-cookie" values, then the "Set-cookie2"
    // values, in order, up to kMaxCookiesPerResponse values in all.
    void StoreResponseCookies(const std::vector<std::string>& setCookie,
                              const std::vector<std::string>& setCookie2, const std::string& host,
                              const std::string& path);
    // Drops expired cookies and returns the "Cookie" value for a request ("" for none).
    std::string CookieHeaderFor(const std::string& host, const std::string& path, bool secure);

    // A copy of the stored domains (in the order of their first cookie, emptied ones included)
    // and their cookies (in arrival order), for inspection.
    std::vector<std::pair<std::string, std::vector<TNetCookie>>> Snapshot() const;
    std::size_t Count() const;

    // Whether a response from `host` may set a cookie for `domain`; a domain that is a public
    // suffix may not ("Domain=.com"), while a host that is one keeps its host cookies.
    static bool AcceptsDomain(const std::string& domain, const std::string& host);
    // Whether a cookie stored for `domain` goes to `host`: the host equals the domain without
    // its leading ".", or ends with the domain when that begins with ".", ignoring letter case.
    static bool DomainMatches(const std::string& domain, const std::string& host);

  private:
    struct TNetCookieList;
    struct Entry {
        std::unique_ptr<TNetCookie> cookie;
        TNetCookieList* domain;
        std::string nameKey;    // the name in capitals
        std::uint64_t place;    // arrival order within the domain; kept when replaced
        std::uint64_t lastSet;  // grows with every set; the smallest goes first when full
    };
    // The cookies of one domain: in arrival order, by name (in capitals; a name occurs once)
    // and by the order of their setting.
    struct TNetCookieList {
        std::string text;     // as its first cookie gave it
        std::uint64_t order;  // place in the domain list
        std::map<std::uint64_t, Entry> byPlace;
        std::map<std::string, Entry*, std::less<>> byName;
        std::map<std::uint64_t, Entry*> byLastSet;
    };
    using ExpiryKey = std::pair<CookieTime, std::uint64_t>;  // expiry, lastSet

    void Store(std::unique_ptr<TNetCookie> cookie, CookieTime now);
    void Index(Entry& e);
    void Unindex(Entry& e);
    void Remove(Entry& e);
    void DropExpired(CookieTime now);
    void ForgetEmptyDomains();

    mutable std::shared_mutex lock_;
    // Every domain, keyed by its text in capitals; each knows its place in the domain list.
    using TNetCookies = std::map<std::string, TNetCookieList, std::less<>>;
    TNetCookies domains_;
    std::map<std::uint64_t, Entry*> byLastSet_;
    std::map<ExpiryKey, Entry*> byExpiry_;
    std::size_t count_ = 0;
    std::uint64_t clock_ = 0;
};

}  // namespace tovalin::net
