// Redirects when the caller switches them on: which responses are followed and where to, the
// limit, the refusal to leave https for plain http, and cookies across the hops.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "net/net_http.h"
#include "tests/net/net_test_servers.h"
#include "tests/support/test_tls.h"

namespace tovalin::test {
namespace {

std::string Redirect(int status, const std::string& location) {
    return HttpResponseWithLength(status, {{"Location", location}}, "moved");
}

struct RedirectRow {
    const char* name;
    // Target -> response; "{base}" in a response stands for the server's own http://host:port.
    std::map<std::string, std::string> pages;
    const char* start;
    const char* body;        // expected body, or nullptr for a failure
    const char* errorClass;  // the failure's class
    const char* lastTarget;  // where the last request went
    std::size_t requests;
};

class Redirects : public ::testing::TestWithParam<RedirectRow> {};

TEST_P(Redirects, AreFollowedToTheMergedAddressUpToTheLimit) {
    const RedirectRow& row = GetParam();
    auto pages = std::make_shared<std::map<std::string, std::string>>(row.pages);
    auto port = std::make_shared<std::atomic<int>>(0);
    LoopbackServer server([pages, port](ServerConnection& c) {
        for (std::string head; !(head = c.ReadRequestHead()).empty();) {
            auto it = pages->find(RequestTarget(head));
            std::string reply =
                it != pages->end() ? it->second : HttpResponseWithLength(404, {}, "not found");
            const std::string base = "http://127.0.0.1:" + std::to_string(port->load());
            for (auto at = reply.find("{base}"); at != std::string::npos; at = reply.find("{base}"))
                reply.replace(at, 6, base);
            c.Send(reply);
        }
    });
    port->store(server.port());
    TNetHTTP http;
    http.HandleRedirects = true;
    try {
        const std::string body = http.Get(server.Url(row.start));
        ASSERT_NE(nullptr, row.body) << "read: " << body;
        EXPECT_EQ(row.body, body);
    } catch (const ENetException& e) {
        ASSERT_EQ(nullptr, row.body) << e.ClassName() << ": " << e.what();
        EXPECT_STREQ(row.errorClass, e.ClassName()) << e.what();
    }
    EXPECT_EQ(server.Url(row.lastTarget), http.LastAddress());
    server.Stop();
    EXPECT_EQ(row.requests, server.RequestCount());
    EXPECT_EQ(1, server.Connections()) << "the hops reuse the kept-alive connection";
}

const std::string kEnd = HttpResponseWithLength(200, {}, "end");

INSTANTIATE_TEST_SUITE_P(
    Rows, Redirects,
    ::testing::Values(RedirectRow{"Status301",
                                  {{"/a", Redirect(301, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"Status302",
                                  {{"/a", Redirect(302, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"Status303",
                                  {{"/a", Redirect(303, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"Status307",
                                  {{"/a", Redirect(307, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"Status308",
                                  {{"/a", Redirect(308, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"NotFollowed300",
                                  {{"/a", Redirect(300, "/end")}, {"/end", kEnd}},
                                  "/a",
                                  nullptr,
                                  "ENetHTTPProtocolException",
                                  "/a",
                                  1},
                      RedirectRow{
                          "RelativeToTheDirectory",
                          {{"/dir/a?x=1", Redirect(302, "next?p=2")}, {"/dir/next?p=2", kEnd}},
                          "/dir/a?x=1",
                          "end",
                          nullptr,
                          "/dir/next?p=2",
                          2},
                      RedirectRow{"Absolute",
                                  {{"/a", Redirect(301, "{base}/end")}, {"/end", kEnd}},
                                  "/a",
                                  "end",
                                  nullptr,
                                  "/end",
                                  2},
                      RedirectRow{"ChainOfThree",
                                  {{"/1", Redirect(301, "/2")},
                                   {"/2", Redirect(302, "/3")},
                                   {"/3", Redirect(307, "/end")},
                                   {"/end", kEnd}},
                                  "/1",
                                  "end",
                                  nullptr,
                                  "/end",
                                  4},
                      // The first request and the 15 redirects it may follow; the 16th is refused.
                      RedirectRow{"LoopPastTheMaximum",
                                  {{"/loop", Redirect(302, "/loop")}},
                                  "/loop",
                                  nullptr,
                                  "ENetRedirectError",
                                  "/loop",
                                  16},
                      RedirectRow{"ToAnotherProtocol",
                                  {{"/a", Redirect(302, "ftp://127.0.0.1/x")}},
                                  "/a",
                                  nullptr,
                                  "ENetRedirectError",
                                  "/a",
                                  1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RedirectsOff, ARedirectStaysTheProtocolError) {
    LoopbackServer server(SiteHandler({{"/a", Redirect(302, "/end")}, {"/end", kEnd}}));
    TNetHTTP http;
    try {
        http.Get(server.Url("/a"));
        FAIL() << "a bare client follows no redirect";
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(302, e.code());
        EXPECT_STREQ("HTTP/1.1 302 Found", e.what());
        EXPECT_EQ("moved", e.body());
    }
    server.Stop();
    EXPECT_EQ(1u, server.RequestCount());
}

TEST(RedirectCookies, EveryHopStoresAndSendsByTheCookieRules) {
    LoopbackServer server(SiteHandler(
        {{"/login", HttpResponseWithLength(
                        302, {{"Location", "/sub/home"}, {"Set-Cookie", "sid=1; path=/"}}, "")},
         {"/sub/home",
          HttpResponseWithLength(302, {{"Location", "/sub/page"}, {"Set-Cookie", "sub=2"}}, "")},
         {"/sub/page", kEnd}}));
    TNetHTTP http;
    http.HandleRedirects = true;
    EXPECT_EQ("end", http.Get(server.Url("/login")));
    server.Stop();
    const auto heads = server.Requests();
    ASSERT_EQ(3u, heads.size());
    EXPECT_EQ(std::string::npos, heads[0].find("Cookie:"));
    EXPECT_NE(std::string::npos, heads[1].find("\r\nCookie: sid=1\r\n")) << heads[1];
    EXPECT_NE(std::string::npos, heads[2].find("\r\nCookie: sub=2; sid=1\r\n")) << heads[2];
}

// Between TLS and plain servers: up to https is followed, down to plain http is refused.
class RedirectAcrossTls : public ::testing::Test {
  protected:
    void SetUp() override { cert_ = ca_.Issue("site", {{}, {"127.0.0.1"}}); }
    std::unique_ptr<TNetHTTP> Client() {
        auto http = std::make_unique<TNetHTTP>();
        http->IOHandler = std::make_shared<TNetTLSHandler>();
        http->HandleRedirects = true;
        return http;
    }
    TestCA ca_;
    TrustOnly trust_{ca_.CertFile()};
    TestCertificate cert_;
};

TEST_F(RedirectAcrossTls, PlainToHttpsIsFollowed) {
    LoopbackServer secure(SiteHandler({{"/topic", kEnd}}), 10s, MakeServerContext(cert_));
    LoopbackServer plain(SiteHandler({{"/topic", Redirect(301, secure.Url("/topic"))}}));
    auto http = Client();
    EXPECT_EQ("end", http->Get(plain.Url("/topic")));
    EXPECT_EQ(secure.Url("/topic"), http->LastAddress());
}

TEST_F(RedirectAcrossTls, HttpsToPlainIsRefused) {
    LoopbackServer plain(SiteHandler({{"/topic", kEnd}}));
    LoopbackServer secure(SiteHandler({{"/topic", Redirect(302, plain.Url("/topic"))}}), 10s,
                          MakeServerContext(cert_));
    auto http = Client();
    try {
        http->Get(secure.Url("/topic"));
        FAIL() << "https must not lead to plain http";
    } catch (const ENetRedirectError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("from https to plain http"));
    }
    plain.Stop();
    EXPECT_EQ(0u, plain.RequestCount());
}

TEST_F(RedirectAcrossTls, HttpsWithoutTlsHandlerFailsAsAnyHttpsAddress) {
    LoopbackServer secure(SiteHandler({{"/topic", kEnd}}), 10s, MakeServerContext(cert_));
    LoopbackServer plain(SiteHandler({{"/topic", Redirect(301, secure.Url("/topic"))}}));
    TNetHTTP http;
    http.HandleRedirects = true;
    EXPECT_THROW(http.Get(plain.Url("/topic")), ENetIOHandlerPropInvalid);
    secure.Stop();
    EXPECT_EQ(0, secure.Connections());
}

}  // namespace
}  // namespace tovalin::test
