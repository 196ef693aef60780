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
        {"b.c", ".c", true},
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
