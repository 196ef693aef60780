#include "net/net_cookie_manager.h"

#include <algorithm>
#include <mutex>

#include "net/net_text.h"

namespace tovalin::net {

bool TNetCookieManager::AcceptsDomain(const std::string& domain, const std::string& host) {
    if (IsIPv4Address(host))
        return domain == host;
    const bool plainName = domain.empty() || (domain.front() != '.' && !IsIPv4Address(domain));
    if (plainName)
        return domain == host;
    auto dot = host.find('.');
    return domain == (dot == std::string::npos ? host : host.substr(dot));
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
    cookie->Parse(value, CookieNow());
    if (cookie->Domain.empty())
        cookie->Domain = host;
    if (cookie->Path.empty())
        cookie->Path = path;
    if (!AcceptsDomain(cookie->Domain, host))
        return;

    std::unique_lock guard(lock_);
    auto list = std::find_if(domains_.begin(), domains_.end(), [&](const TNetCookieList& l) {
        return EqualsIgnoreCase(l.Domain, cookie->Domain);
    });
    if (list == domains_.end()) {
        domains_.push_back(TNetCookieList{cookie->Domain, {}});
        list = domains_.end() - 1;
    }
    for (auto& stored : list->Cookies) {
        if (EqualsIgnoreCase(stored->Name, cookie->Name)) {
            stored = std::move(cookie);  // the new cookie takes the old one's place
            return;
        }
    }
    list->Cookies.push_back(std::move(cookie));
}

std::string TNetCookieManager::CookieHeaderFor(const std::string& host, const std::string& path,
                                               bool secure) {
    {
        const CookieTime now = CookieNow();
        std::unique_lock guard(lock_);
        for (auto& list : domains_) {
            std::erase_if(list.Cookies, [now](const std::unique_ptr<TNetCookie>& c) {
                return c->Expires && *c->Expires < now;
            });
        }
    }

    std::shared_lock guard(lock_);
    struct Candidate {
        std::string upperPath;
        const TNetCookie* cookie;
    };
    std::vector<Candidate> candidates;
    for (const auto& list : domains_) {
        if (!DomainMatches(list.Domain, host))
            continue;
        for (auto it = list.Cookies.rbegin(); it != list.Cookies.rend(); ++it) {
            const TNetCookie& c = **it;
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
    std::vector<std::pair<std::string, std::vector<TNetCookie>>> out;
    for (const auto& list : domains_) {
        std::vector<TNetCookie> cookies;
        for (const auto& c : list.Cookies)
            cookies.push_back(*c);
        out.emplace_back(list.Domain, std::move(cookies));
    }
    return out;
}

}  // namespace tovalin::net
