// The cookie store: parsing a header value, accepting or dropping by domain, replacing in place,
// expiry, and the "Cookie" value's order.
#include <gtest/gtest.h>

#include <thread>

#include "net/net_cookie.h"
#include "net/net_cookie_manager.h"

namespace tovalin::test {
namespace {

using tovalin::net::CookieNow;
using tovalin::net::TNetCookie;
using tovalin::net::TNetCookieManager;

struct ParseRow {
    const char* header;
    const char* name;
    const char* value;
    const char* path;
    const char* domain;
    bool secure;
};

TEST(CookieParse, Table) {
    const ParseRow rows[] = {
        {"sid=abc", "sid", "abc", "", "", false},
        {"  sid = abc ; Path=/x ; secure", "sid ", " abc", "/x", "", true},
        {"a=b=c; path=\"/q\"", "a", "b=c", "/q", "", false},
        {"a=1; path=\"/only-start", "a", "1", "/only-start", "", false},
        {"noequals; path=/", "", "", "/", "", false},
        {"a=; domain=.s.t", "a", "", "/", ".s.t", false},
        {"a=1; PATH=/first; path=/second", "a", "1", "/first", "", false},
        {"a=1; path =/spaced", "a", "1", "", "", false},
        {"a=1; Comment=hi; Version=1; Port=\"80,x\"; Discard; HttpOnly", "a", "1", "", "", false},
        {"", "", "", "", "", false},
        {";", "", "", "", "", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.header);
        TNetCookie c;
        c.Parse(r.header, 0);
        EXPECT_EQ(r.name, c.Name);
        EXPECT_EQ(r.value, c.Value);
        if (std::string(r.header).find("noequals") != std::string::npos ||
            std::string(r.header).find("domain=.s.t") != std::string::npos) {
            EXPECT_EQ(r.path, c.Path.empty() ? std::string("/") : c.Path);
        } else {
            EXPECT_EQ(r.path, c.Path);
        }
        EXPECT_EQ(r.domain, c.Domain);
        EXPECT_EQ(r.secure, c.Secure);
    }
}

TEST(CookieParse, ExpiryFromExpiresOrMaxAge) {
    const std::int64_t now = 1'000'000'000'000'000;
    TNetCookie c;
    c.Parse("a=1; max-age=60", now);
    EXPECT_EQ(now + 60'000'000, c.Expires.value());
    c.Parse("a=1; max-age=-1", now);
    EXPECT_FALSE(c.Expires.has_value());
    c.Parse("a=1; max-age=soon", now);
    EXPECT_FALSE(c.Expires.has_value());
    c.Parse("a=1; max-age=99999999999999999999", now);
    EXPECT_FALSE(c.Expires.has_value()) << "out of range counts as not a number";
    c.Parse("a=1; max-age=9223372036854775807", now);
    EXPECT_GT(c.Expires.value(), now) << "a huge MAX-AGE must not wrap into the past";
    c.Parse("a=1; expires=Thu, 01-Jan-1970 00:00:10 GMT; max-age=60", now);
    EXPECT_EQ(10'000'000, c.Expires.value()) << "EXPIRES wins over MAX-AGE";
    c.Parse("a=1; expires=garbage", now);
    EXPECT_LT(c.Expires.value(), 0) << "an unreadable date is long past";
    // A bare "expires" is a flag, not a date: the cookie stays, and a MAX-AGE still counts.
    c.Parse("a=1; Expires; max-age=60", now);
    EXPECT_EQ(now + 60'000'000, c.Expires.value());
    c.Parse("a=1; expires", now);
    EXPECT_FALSE(c.Expires.has_value());
    c.Parse("a=1; expires; expires=Thu, 01-Jan-1970 00:00:10 GMT", now);
    EXPECT_EQ(10'000'000, c.Expires.value()) << "the flag takes no attribute's place";
}

struct AcceptRow {
    const char* host;
    const char* domain;
    bool accepted;
};

TEST(CookieStore, AcceptsOnlyDomainsThatFitTheHost) {
    const AcceptRow rows[] = {
        {"w.s.t", "", true},
        {"w.s.t", "w.s.t", true},
        {"w.s.t", "W.s.t", false},
        {"w.s.t", ".s.t", true},
        {"w.s.t", "s.t", false},
        {"w.s.t", ".t", false},
        {"a.b.c", ".b.c", true},
        {"b.c", ".b.c", false},
        // A public suffix may not carry a cookie for the sites under it: listed ones, and the
        // last label of a name under no listed suffix (the list's default rule).
        {"b.c", ".c", false},
        {"evil.com", ".com", false},
        {"EVIL.COM", ".COM", false},
        {"evil.com.", ".com.", false},
        {"shop.example.co.uk", ".example.co.uk", true},
        {"example.co.uk", ".co.uk", false},
        {"www.example.com", ".example.com", true},
        {"site.test", ".test", false},
        // A host that is itself a suffix keeps its host cookies.
        {"co.uk", "", true},
        {"co.uk", "co.uk", true},
        {"host", "host", true},
        {"host", ".host", false},
        {"w.s.t", ".S.T", false},
        {"10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", ".0.0.1", false},
        {"w.s.t", "1.2.3.4", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.host) + " / " + r.domain);
        TNetCookieManager m;
        std::string header = "k=v; path=/";
        if (*r.domain)
            header += std::string("; domain=") + r.domain;
        m.StoreCookie(header, r.host, "/");
        auto snap = m.Snapshot();
        EXPECT_EQ(r.accepted, !snap.empty());
    }
}

TEST(CookieStore, DomainCookiesGoOnlyToTheDomainAndItsSubdomains) {
    TNetCookieManager m;
    m.StoreCookie("evil=1; path=/; domain=.com", "evil.com", "/");
    EXPECT_EQ("", m.CookieHeaderFor("victim.com", "/", false));
    m.StoreCookie("k=v; path=/; domain=.s.t", "w.s.t", "/");
    EXPECT_EQ("k=v", m.CookieHeaderFor("w.s.t", "/", false));
    EXPECT_EQ("k=v", m.CookieHeaderFor("X.W.S.T", "/", false));
    EXPECT_EQ("k=v", m.CookieHeaderFor("s.t", "/", false));
    EXPECT_EQ("", m.CookieHeaderFor("x.s.t.attacker.example", "/", false));
    EXPECT_EQ("", m.CookieHeaderFor("evils.t", "/", false));
    TNetCookieManager hostOnly;
    hostOnly.StoreCookie("k=v; path=/", "w.s.t", "/");
    EXPECT_EQ("k=v", hostOnly.CookieHeaderFor("W.S.T", "/", false));
    EXPECT_EQ("", hostOnly.CookieHeaderFor("a.w.s.t", "/", false));
    EXPECT_EQ("", hostOnly.CookieHeaderFor("xw.s.t", "/", false));
}

TEST(CookieStore, PathsDefaultToTheDirectoryAndMatchAsPrefixes) {
    TNetCookieManager m;
    m.StoreCookie("root=1; path=/", "h", "/a/b/");
    m.StoreCookie("dir=2", "h", "/a/b/");
    EXPECT_EQ("dir=2; root=1", m.CookieHeaderFor("h", "/a/b/c/", false));
    EXPECT_EQ("root=1", m.CookieHeaderFor("h", "/a/", false));
    EXPECT_EQ("root=1", m.CookieHeaderFor("h", "/A/B/", false)) << "paths compare exactly";
}

TEST(CookieStore, OrderByPathThenLastStoredFirst) {
    TNetCookieManager m;
    m.StoreCookie("y=2; path=/", "h", "/");
    m.StoreCookie("x=1; path=/a/", "h", "/");
    m.StoreCookie("z=3; path=/", "h", "/");
    EXPECT_EQ("x=1; z=3; y=2", m.CookieHeaderFor("h", "/a/b", false));
}

TEST(CookieStore, SameNameReplacesInPlace) {
    TNetCookieManager m;
    m.StoreCookie("id=1; path=/", "h", "/");
    m.StoreCookie("other=o; path=/", "h", "/");
    m.StoreCookie("ID=2; path=/", "h", "/");
    auto snap = m.Snapshot();
    ASSERT_EQ(1u, snap.size());
    ASSERT_EQ(2u, snap[0].second.size());
    EXPECT_EQ("2", snap[0].second[0].Value);
    EXPECT_EQ("other", snap[0].second[1].Name);
}

TEST(CookieStore, ExpiryDropsCookiesBeforeTheNextRequest) {
    TNetCookieManager m;
    m.StoreCookie("keep=1; path=/; expires=Fri, 31 Dec 9999 23:59:59 GMT", "h", "/");
    m.StoreCookie("gone=1; path=/; max-age=0", "h", "/");
    m.StoreCookie("old=1; path=/; expires=Thu, 01-Jan-1970 00:00:00 GMT", "h", "/");
    m.StoreCookie("bad=1; path=/; expires=whenever", "h", "/");
    m.StoreCookie("replaced=1; path=/", "h", "/");
    m.StoreCookie("replaced=2; path=/; expires=Sun, 06 Nov 1994 08:49:37 GMT", "h", "/");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ("keep=1", m.CookieHeaderFor("h", "/", false));
    auto snap = m.Snapshot();
    ASSERT_EQ(1u, snap[0].second.size());
}

TEST(CookieStore, EmptyValuesAreNeverSentAndSecureCookiesOnlyOverTLS) {
    TNetCookieManager m;
    m.StoreCookie("empty=; path=/", "h", "/");
    m.StoreCookie("s=1; path=/; secure", "h", "/");
    m.StoreCookie("noname; path=/", "h", "/");
    EXPECT_EQ("", m.CookieHeaderFor("h", "/", false));
    EXPECT_EQ("s=1", m.CookieHeaderFor("h", "/", true));
    EXPECT_EQ(3u, m.Snapshot()[0].second.size());
}

std::string Numbered(int i) {
    return "c" + std::to_string(i) + "=" + std::to_string(i) + "; path=/";
}

std::vector<std::string> NamesOf(const std::vector<TNetCookie>& cookies) {
    std::vector<std::string> names;
    for (const auto& c : cookies)
        names.push_back(c.Name);
    return names;
}

TEST(CookieBounds, ADomainKeepsItsMostRecentlySetCookies) {
    TNetCookieManager m;
    for (int i = 0; i < 180; ++i)
        m.StoreCookie(Numbered(i), "h", "/");
    m.StoreCookie("C0=again; path=/", "h", "/");  // c0 is now the most recently set
    m.StoreCookie(Numbered(180), "h", "/");
    m.StoreCookie(Numbered(181), "h", "/");
    auto snap = m.Snapshot();
    ASSERT_EQ(1u, snap.size());
    const auto names = NamesOf(snap[0].second);
    ASSERT_EQ(180u, names.size());
    EXPECT_EQ("C0", names.front()) << "a replaced cookie keeps its place";
    EXPECT_EQ("c3", names[1]) << "c1 and c2 were the least recently set";
    EXPECT_EQ("c181", names.back());
    // Another domain has room of its own.
    m.StoreCookie("k=v; path=/", "other", "/");
    EXPECT_EQ("k=v", m.CookieHeaderFor("other", "/", false));
}

TEST(CookieBounds, TheStoreKeepsItsMostRecentlySetCookies) {
    TNetCookieManager m;
    for (int host = 0; host < 17; ++host) {  // 17 × 180 = 3,060 cookies set
        for (int i = 0; i < 180; ++i)
            m.StoreCookie(Numbered(i), "h" + std::to_string(host), "/");
    }
    EXPECT_EQ(TNetCookieManager::kMaxCookies, m.Count());
    auto snap = m.Snapshot();
    ASSERT_EQ(17u, snap.size());
    ASSERT_EQ(120u, snap[0].second.size()) << "the 60 first set are gone";
    EXPECT_EQ("c60", snap[0].second.front().Name);
    EXPECT_EQ(180u, snap[16].second.size());
}

TEST(CookieBounds, CookiesPastTheirTimeGoBeforeLiveOnes) {
    TNetCookieManager m;
    for (int i = 0; i < 179; ++i)
        m.StoreCookie(Numbered(i), "h", "/");
    m.StoreCookie("gone=1; path=/; max-age=0", "h", "/");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m.StoreCookie(Numbered(179), "h", "/");
    m.StoreCookie("late=1; path=/; max-age=0", "h", "/");
    auto snap = m.Snapshot();
    ASSERT_EQ(180u, snap[0].second.size());
    EXPECT_EQ("c0", snap[0].second.front().Name) << "no live cookie was pushed out";
    EXPECT_EQ("c179", snap[0].second.back().Name);
}

TEST(CookieBounds, LongOrControlByteCookiesAreIgnored) {
    TNetCookieManager m;
    m.StoreCookie("n=" + std::string(4095, 'v') + "; path=/", "h", "/");
    m.StoreCookie("n=" + std::string(4096, 'w') + "; path=/", "h", "/");
    m.StoreCookie("m=" + std::string(5000, 'v') + "; path=/", "h", "/");
    m.StoreCookie("a=b\rX: y; path=/", "h", "/");
    m.StoreCookie(std::string("z=1\0x; path=/", 13), "h", "/");
    m.StoreCookie("t=1\t2; path=/", "h", "/");
    const std::string header = m.CookieHeaderFor("h", "/", false);
    EXPECT_TRUE(header == "t=1\t2; n=" + std::string(4095, 'v')) << header.substr(0, 40);
}

TEST(CookieBounds, OneResponseSetsAtMostFiftyCookies) {
    TNetCookieManager m;
    std::vector<std::string> setCookie, setCookie2;
    for (int i = 0; i < 45; ++i)
        setCookie.push_back(Numbered(i));
    for (int i = 45; i < 60; ++i)
        setCookie2.push_back(Numbered(i));
    m.StoreResponseCookies(setCookie, setCookie2, "h", "/");
    auto names = NamesOf(m.Snapshot().at(0).second);
    ASSERT_EQ(50u, names.size());
    EXPECT_EQ("c49", names.back());
    m.StoreResponseCookies({Numbered(60)}, {}, "h", "/");
    EXPECT_EQ(51u, m.Count()) << "the bound is per response";
}

TEST(CookieBounds, DomainsLeftEmptyAreForgottenWhenFarMoreThanTheCookies) {
    TNetCookieManager m;
    for (int i = 0; i < 7000; ++i)
        m.StoreCookie("k=v; path=/; max-age=0", "h" + std::to_string(i), "/");
    EXPECT_EQ("", m.CookieHeaderFor("h0", "/", false));
    EXPECT_LE(m.Snapshot().size(), 2 * TNetCookieManager::kMaxCookies);
}

TEST(CookieStore, ConcurrentReadersAndWritersStayWhole) {
    TNetCookieManager m;
    std::thread writer([&m] {
        for (int i = 0; i < 2000; ++i) {
            m.StoreCookie("c" + std::to_string(i % 50) + "=" + std::to_string(i) + "; path=/", "h",
                          "/");
        }
    });
    for (int i = 0; i < 2000; ++i)
        m.CookieHeaderFor("h", "/", false);
    writer.join();
    EXPECT_EQ(50u, m.Snapshot()[0].second.size());
}

}  // namespace
}  // namespace tovalin::test
