// The cookie store alone: storing 3,000 distinct cookies (the store's bound) into an empty store,
// storing 35,000 more into the full store (each one pushes out the least recently set), and
// building the "Cookie" value on the full store. Best of five runs of each.
//
//   bench-net-cookies
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "net/net_cookie_manager.h"

using tovalin::net::TNetCookieManager;

namespace {

constexpr int kRuns = 5;
constexpr int kHosts = 17;  // 17 hosts × 180 cookies a domain reach the 3,000 in all
constexpr int kFill = static_cast<int>(TNetCookieManager::kMaxCookies);
constexpr int kMore = 35000;
constexpr int kHeaders = 10000;

std::string HostOf(int i) {
    return "h" + std::to_string(i % kHosts) + ".example.com";
}

std::string CookieOf(int i) {
    return "name" + std::to_string(i) + "=value" + std::to_string(i) + "; path=/";
}

void Fill(TNetCookieManager& m, int from, int count) {
    for (int i = from; i < from + count; ++i)
        m.StoreCookie(CookieOf(i), HostOf(i), "/");
}

// Seconds of the best run; `prepare` runs before each timed run, untimed.
double Best(const std::function<void(TNetCookieManager&)>& prepare,
            const std::function<void(TNetCookieManager&)>& timed) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        TNetCookieManager m;
        prepare(m);
        const auto start = std::chrono::steady_clock::now();
        timed(m);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main() {
    const double fill = Best([](TNetCookieManager&) {},
                             [](TNetCookieManager& m) {
                                 Fill(m, 0, kFill);
                                 if (m.Count() != TNetCookieManager::kMaxCookies)
                                     std::abort();
                             });
    const double more = Best([](TNetCookieManager& m) { Fill(m, 0, kFill); },
                             [](TNetCookieManager& m) { Fill(m, kFill, kMore); });
    std::size_t length = 0;
    const double header = Best([](TNetCookieManager& m) { Fill(m, 0, kFill); },
                               [&length](TNetCookieManager& m) {
                                   for (int i = 0; i < kHeaders; ++i)
                                       length = m.CookieHeaderFor(HostOf(i), "/a/", false).size();
                               });
    std::printf("%-44s %9.2f ms\n", "store 3,000 cookies into an empty store", fill * 1e3);
    std::printf("%-44s %9.2f ms\n", "store 35,000 more into the full store", more * 1e3);
    std::printf("%-44s %9.2f us  (%zu bytes)\n", "Cookie value for a host, full store",
                header * 1e6 / kHeaders, length);
    std::printf("(best of %d runs)\n", kRuns);
}
