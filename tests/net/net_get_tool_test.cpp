// tovalin-get against a loopback server: bodies in order on standard output on success; the
// tool's name, the address, the error's class and message on standard error and status 1 at the
// first failure.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/net/net_test_servers.h"
#include "tests/support/test_tls.h"

namespace tovalin::test {
namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// `env` is put before the command ("NAME=value ...").
ToolRun RunTool(const std::string& args, const std::string& env = "") {
    const std::string dir = ::testing::TempDir();
    const std::string out = dir + "tovalin_get_out_" + std::to_string(::getpid());
    const std::string err = dir + "tovalin_get_err_" + std::to_string(::getpid());
    const std::string command =
        env + " " + std::string(TOVALIN_GET_PATH) + " " + args + " >" + out + " 2>" + err;
    const int raw = std::system(command.c_str());
    ToolRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

TEST(GetTool, WritesEachBodyInTurnOnOneConnection) {
    LoopbackServer server(SiteHandler({{"/a", HttpResponseWithLength(200, {}, "first\n")},
                                       {"/b", HttpResponseWithLength(200, {}, "second\n")}}));
    ToolRun r = RunTool(server.Url("/a") + " " + server.Url("/b"));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("first\nsecond\n", r.out);
    EXPECT_EQ("", r.err);
    server.Stop();
    EXPECT_EQ(1, server.Connections());
}

TEST(GetTool, StopsAtTheFirstFailureWithClassAndMessage) {
    LoopbackServer server(SiteHandler({{"/a", HttpResponseWithLength(200, {}, "first\n")}}));
    ToolRun r = RunTool(server.Url("/a") + " " + server.Url("/missing") + " " + server.Url("/a"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("first\n", r.out);
    EXPECT_EQ("tovalin-get: " + server.Url("/missing") +
                  ": ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n",
              r.err);
    server.Stop();
    EXPECT_EQ(2u, server.RequestCount());
}

TEST(GetTool, ReportsSocketErrors) {
    std::uint16_t closedPort;
    {
        LoopbackServer server([](ServerConnection&) {});
        closedPort = server.port();
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(closedPort) + "/";
    ToolRun r = RunTool(url);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(
        "tovalin-get: " + url + ": ENetSocketError: Socket Error # 10061\r\nConnection refused.\n",
        r.err);
}

TEST(GetTool, ReadsHttpsOnlyFromAServerItsTrustStoreVouchesFor) {
    TestCA ca;
    LoopbackServer server(SiteHandler({{"/x", HttpResponseWithLength(200, {}, "secret\n")}}), 10s,
                          MakeServerContext(ca.Issue("site", {{}, {"127.0.0.1"}})));
    ToolRun trusted = RunTool(server.Url("/x"), "SSL_CERT_FILE=" + ca.CertFile());
    EXPECT_EQ(0, trusted.status) << trusted.err;
    EXPECT_EQ("secret\n", trusted.out);
    ToolRun untrusted = RunTool(server.Url("/x"));
    EXPECT_EQ(1, untrusted.status);
    EXPECT_EQ("", untrusted.out);
    EXPECT_EQ(0u, untrusted.err.find("tovalin-get: " + server.Url("/x") +
                                     ": ENetTLSCertificateError: TLS certificate of 127.0.0.1 "
                                     "refused: untrusted chain"))
        << untrusted.err;
}

TEST(GetTool, FollowsRedirectsOnlyWithLocation) {
    LoopbackServer server(
        SiteHandler({{"/old", HttpResponseWithLength(301, {{"Location", "/new"}}, "")},
                     {"/new", HttpResponseWithLength(200, {}, "moved here\n")}}));
    for (const char* flag : {"-L", "--location"}) {
        ToolRun r = RunTool(std::string(flag) + " " + server.Url("/old"));
        EXPECT_EQ(0, r.status) << flag << ": " << r.err;
        EXPECT_EQ("moved here\n", r.out) << flag;
    }
    ToolRun plain = RunTool(server.Url("/old"));
    EXPECT_EQ(1, plain.status);
    EXPECT_EQ("tovalin-get: " + server.Url("/old") +
                  ": ENetHTTPProtocolException: HTTP/1.1 301 Moved Permanently\n",
              plain.err);
}

}  // namespace
}  // namespace tovalin::test
