// Cookie parsing and storing: each input line is one "Set-cookie" (odd lines: "Set-cookie2")
// value from the host and directory chosen by byte 0; then the "Cookie" value is built for a
// few hosts and paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/net_cookie_manager.h"

using tovalin::net::TNetCookieManager;

namespace {

const char* const kHosts[] = {"w.s.t", "127.0.0.1", "localhost", "WWW.Example.COM"};
const char* const kPaths[] = {"/", "/a/b/", "", "/A/"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string host = kHosts[data[0] & 3];
    const std::string path = kPaths[(data[0] >> 2) & 3];
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    TNetCookieManager store;
    for (int line = 0; !rest.empty(); ++line) {
        const std::size_t end = rest.find('\n');
        const std::string_view value = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        store.StoreCookie(
            value, host, path,
            line % 2 ? TNetCookieManager::Kind::SetCookie2 : TNetCookieManager::Kind::SetCookie);
    }
    // Only cookies whose domain fits the host that set them are kept, a name once per domain.
    std::size_t count = 0;
    for (const auto& [domain, cookies] : store.Snapshot()) {
        if (!cookies.empty() && !TNetCookieManager::AcceptsDomain(domain, host))
            std::abort();
        if (cookies.size() > TNetCookieManager::kMaxCookiesPerDomain)
            std::abort();
        count += cookies.size();
    }
    // The store's own count and its bounds hold whatever the values were.
    if (count != store.Count() || count > TNetCookieManager::kMaxCookies)
        std::abort();
    for (const char* h : kHosts) {
        for (const char* p : kPaths) {
            const std::string header = store.CookieHeaderFor(h, p, false);
            // Nothing is sent to a host that could not have set it.
            if (!header.empty() && store.Snapshot().empty())
                std::abort();
        }
    }
    return 0;
}
