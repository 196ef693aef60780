#include "net/net_cookie_manager.h"

#include <algorithm>
#include <mutex>

#include "net/net_public_suffix.h"
#include "net/net_text.h"

namespace tovalin::net {
namespace {

// Emptied domains keep their place in the domain list, but only while there are not many more
// domains than cookies: past this many, the empty ones are forgotten, so hosts visited one
// after another cannot grow the list without end.
constexpr std::size_t kMaxDomains = 2 * TNetCookieManager::kMaxCookies;

// A bare CR or a NUL in a cookie would travel inside the request's "Cookie" line; a tab may.
bool HoldsControlByte(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t') || b == 0x7F;
    });
}

}  // namespace

bool TNetCookieManager::AcceptsDomain(const std::string& domain, const std::string& host) {
    if (IsIPv4Address(host))
        return domain == host;
    const bool plainName = domain.empty() || (domain.front() != '.' && !IsIPv4Address(domain));
    if (plainName)
        return domain == host;
    auto dot = host.find('.');
    if (domain != (dot == std::string::npos ? host : host.substr(dot)))
        return false;
    // "Domain=.com" from "site.com" would go to every other site under "com".
    return !IsPublicSuffix(domain);
}

bool TNetCookieManager::DomainMatches(const std::string& domain, const std::string& host) {
    if (domain.empty())
        return false;
    if (domain.front() == '.') {
        return EqualsIgnoreCase(host, std::string_view(domain).substr(1)) ||
               EndsWithIgnoreCase(host, domain);
    }
    return EqualsIgnoreCase(host, domain);
}

void TNetCookieManager::StoreCookie(std::string_view value, const std::string& host,
                                    const std::string& path, Kind kind) {
    std::unique_ptr<TNetCookie> cookie;
    if (kind == Kind::SetCookie) {
        cookie = std::make_unique<TNetCookieRFC2109>();
    } else {
        cookie = std::make_unique<TNetCookieRFC2965>();
    }
    const CookieTime now = CookieNow();
    cookie->Parse(value, now);
    if (cookie->Name.size() + cookie->Value.size() > kMaxNameValueBytes)
        return;
    if (HoldsControlByte(cookie->Name) || HoldsControlByte(cookie->Value))
        return;
    if (cookie->Domain.empty())
        cookie->Domain = host;
    if (cookie->Path.empty())
        cookie->Path = path;
    if (!AcceptsDomain(cookie->Domain, host))
        return;

    std::unique_lock guard(lock_);
    Store(std::move(cookie), now);
}

void TNetCookieManager::StoreResponseCookies(const std::vector<std::string>& setCookie,
                                             const std::vector<std::string>& setCookie2,
                                             const std::string& host, const std::string& path) {
    std::size_t taken = 0;
    for (const auto& value : setCookie) {
        if (taken++ == kMaxCookiesPerResponse)
            return;
        StoreCookie(value, host, path, Kind::SetCookie);
    }
    for (const auto& value : setCookie2) {
        if (taken++ == kMaxCookiesPerResponse)
            return;
        StoreCookie(value, host, path, Kind::SetCookie2);
    }
}

void TNetCookieManager::Store(std::unique_ptr<TNetCookie> cookie, CookieTime now) {
    std::string domainKey = UpperAscii(cookie->Domain);
    auto found = domains_.find(domainKey);
    if (found == domains_.end()) {
        if (domains_.size() >= kMaxDomains)
            ForgetEmptyDomains();
        found =
            domains_
                .emplace(std::move(domainKey), TNetCookieList{cookie->Domain, ++clock_, {}, {}, {}})
                .first;
    }
    TNetCookieList& domain = found->second;

    std::string nameKey = UpperAscii(cookie->Name);
    if (auto same = domain.byName.find(nameKey); same != domain.byName.end()) {
        // The new cookie takes the old one's place, with all its attributes.
        Entry& e = *same->second;
        Unindex(e);
        e.cookie = std::move(cookie);
        e.lastSet = ++clock_;
        Index(e);
        return;
    }

    const auto full = [&] {
        return domain.byPlace.size() >= kMaxCookiesPerDomain || count_ >= kMaxCookies;
    };
    if (full()) {
        // Cookies already past go first; they would go before the next request anyway, and a
        // cookie that is itself past (a MAX-AGE of 0 expires as it arrives) pushes out none that
        // is still good.
        DropExpired(now);
        if (full() && cookie->Expires && *cookie->Expires <= now)
            return;
    }
    if (domain.byPlace.size() >= kMaxCookiesPerDomain)
        Remove(*domain.byLastSet.begin()->second);
    if (count_ >= kMaxCookies)
        Remove(*byLastSet_.begin()->second);

    const std::uint64_t place = ++clock_;
    Entry& e =
        domain.byPlace.emplace(place, Entry{std::move(cookie), &domain, nameKey, place, ++clock_})
            .first->second;
    domain.byName.emplace(std::move(nameKey), &e);
    Index(e);
    ++count_;
}

void TNetCookieManager::Index(Entry& e) {
    e.domain->byLastSet.emplace(e.lastSet, &e);
    byLastSet_.emplace(e.lastSet, &e);
    if (e.cookie->Expires)
        byExpiry_.emplace(ExpiryKey{*e.cookie->Expires, e.lastSet}, &e);
}

void TNetCookieManager::Unindex(Entry& e) {
    e.domain->byLastSet.erase(e.lastSet);
    byLastSet_.erase(e.lastSet);
    if (e.cookie->Expires)
        byExpiry_.erase(ExpiryKey{*e.cookie->Expires, e.lastSet});
}

void TNetCookieManager::Remove(Entry& e) {
    Unindex(e);
    TNetCookieList& domain = *e.domain;
    domain.byName.erase(e.nameKey);
    domain.byPlace.erase(e.place);  // destroys e
    --count_;
}

void TNetCookieManager::DropExpired(CookieTime now) {
    while (!byExpiry_.empty() && byExpiry_.begin()->first.first < now)
        Remove(*byExpiry_.begin()->second);
}

void TNetCookieManager::ForgetEmptyDomains() {
    std::erase_if(domains_, [](const auto& d) { return d.second.byPlace.empty(); });
}

std::string TNetCookieManager::CookieHeaderFor(const std::string& host, const std::string& path,
                                               bool secure) {
    {
        std::unique_lock guard(lock_);
        DropExpired(CookieNow());
    }

    std::shared_lock guard(lock_);
    // The domains that can match the host: the host itself, "." and the host, and every part of
    // the host from one of its dots on.
    const std::string upperHost = UpperAscii(host);
    std::vector<const TNetCookieList*> matched;
    const auto look = [&](std::string_view key) {
        auto it = domains_.find(key);
        if (it != domains_.end() && DomainMatches(it->second.text, host))
            matched.push_back(&it->second);
    };
    look(upperHost);
    look("." + upperHost);
    for (auto dot = upperHost.find('.'); dot != std::string::npos;
         dot = upperHost.find('.', dot + 1)) {
        look(std::string_view(upperHost).substr(dot));
    }
    std::sort(matched.begin(), matched.end(),
              [](const TNetCookieList* a, const TNetCookieList* b) { return a->order < b->order; });
    matched.erase(std::unique(matched.begin(), matched.end()), matched.end());

    struct Candidate {
        std::string upperPath;
        const TNetCookie* cookie;
    };
    std::vector<Candidate> candidates;
    for (const TNetCookieList* domain : matched) {
        for (auto it = domain->byPlace.rbegin(); it != domain->byPlace.rend(); ++it) {
            const TNetCookie& c = *it->second.cookie;
            // A secure cookie goes only over TLS, where no one between can read it.
            if (c.Value.empty() || (c.Secure && !secure))
                continue;
            if (path.compare(0, c.Path.size(), c.Path) != 0)
                continue;
            candidates.push_back({UpperAscii(c.Path), &c});
        }
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.upperPath > b.upperPath; });
    std::string header;
    for (const auto& c : candidates) {
        if (!header.empty())
            header += "; ";
        header += c.cookie->Name + "=" + c.cookie->Value;
    }
    return header;
}

std::vector<std::pair<std::string, std::vector<TNetCookie>>> TNetCookieManager::Snapshot() const {
    std::shared_lock guard(lock_);
    std::vector<const TNetCookieList*> ordered;
    for (const auto& [key, domain] : domains_)
        ordered.push_back(&domain);
    std::sort(ordered.begin(), ordered.end(),
              [](const TNetCookieList* a, const TNetCookieList* b) { return a->order < b->order; });
    std::vector<std::pair<std::string, std::vector<TNetCookie>>> out;
    for (const TNetCookieList* domain : ordered) {
        std::vector<TNetCookie> cookies;
        for (const auto& [place, e] : domain->byPlace)
            cookies.push_back(*e.cookie);
        out.emplace_back(domain->text, std::move(cookies));
    }
    return out;
}

std::size_t TNetCookieManager::Count() const {
    std::shared_lock guard(lock_);
    return count_;
}

}  // namespace tovalin::net
