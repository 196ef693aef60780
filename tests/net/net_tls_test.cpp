// The client over TLS against loopback TLS servers with a throwaway authority: which servers are
// accepted and why the others are refused, and that keep-alive, chunked and close-delimited
// bodies and SECURE cookies work over TLS as they work over plain TCP.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "net/net_http.h"
#include "tests/net/net_test_servers.h"
#include "tests/support/test_tls.h"

namespace tovalin::test {
namespace {

const std::string kPage = HttpResponseWithLength(200, {}, "hello over tls");

class TlsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ca_ = new TestCA();
        stranger_ = new TestCA();
        good_ = ca_->Issue("good", {{"localhost"}, {"127.0.0.1"}});
        expired_ = ca_->Issue("expired", {{"localhost"}, {"127.0.0.1"}, -48, -24});
        otherHost_ = ca_->Issue("other", {{"other.test"}, {}});
        untrusted_ = stranger_->Issue("untrusted", {{"localhost"}, {"127.0.0.1"}});
        trust_ = new TrustOnly(ca_->CertFile());
    }
    static void TearDownTestSuite() {
        delete trust_;
        delete ca_;
        delete stranger_;
    }

    // A client that trusts the test authority (and the system's store, as in real use).
    static std::unique_ptr<TNetHTTP> Client() {
        auto http = std::make_unique<TNetHTTP>();
        http->IOHandler = std::make_shared<TNetTLSHandler>();
        return http;
    }
    static std::string Address(const std::string& host, const LoopbackServer& server,
                               const std::string& path = "/") {
        return "https://" + host + ":" + std::to_string(server.port()) + path;
    }

    static inline TestCA* ca_ = nullptr;
    static inline TestCA* stranger_ = nullptr;
    static inline TrustOnly* trust_ = nullptr;
    static inline TestCertificate good_, expired_, otherHost_, untrusted_;
};

enum class Cert { Good, Expired, OtherHost, Untrusted };

struct HandshakeRow {
    const char* name;
    Cert cert;
    bool tls11Only;
    const char* host;
    const char* errorClass;  // nullptr: the page is read
    const char* reason;      // words the message must hold
};

class TlsHandshake : public TlsTest, public ::testing::WithParamInterface<HandshakeRow> {};

TEST_P(TlsHandshake, AcceptsOnlyAVerifiedServerOfTheRightName) {
    const HandshakeRow& row = GetParam();
    const TestCertificate& cert = row.cert == Cert::Good        ? good_
                                  : row.cert == Cert::Expired   ? expired_
                                  : row.cert == Cert::OtherHost ? otherHost_
                                                                : untrusted_;
    LoopbackServer server(AlwaysReply(kPage), 10s, MakeServerContext(cert, row.tls11Only));
    auto http = Client();
    try {
        const std::string body = http->Get(Address(row.host, server));
        EXPECT_EQ(nullptr, row.errorClass) << "read: " << body;
        EXPECT_EQ("hello over tls", body);
    } catch (const ENetException& e) {
        ASSERT_NE(nullptr, row.errorClass) << e.ClassName() << ": " << e.what();
        EXPECT_STREQ(row.errorClass, e.ClassName()) << e.what();
        EXPECT_NE(std::string::npos, std::string(e.what()).find(row.reason)) << e.what();
        EXPECT_NE(nullptr, dynamic_cast<const ENetTLSError*>(&e));
        server.Stop();
        EXPECT_EQ(0u, server.RequestCount()) << "nothing may be sent to a refused server";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TlsHandshake,
    ::testing::Values(HandshakeRow{"VerifiedByIPLiteral", Cert::Good, false, "127.0.0.1", nullptr,
                                   ""},
                      HandshakeRow{"VerifiedByName", Cert::Good, false, "localhost", nullptr, ""},
                      HandshakeRow{"UntrustedChain", Cert::Untrusted, false, "127.0.0.1",
                                   "ENetTLSCertificateError", "untrusted chain"},
                      HandshakeRow{"Expired", Cert::Expired, false, "localhost",
                                   "ENetTLSCertificateError", "certificate expired"},
                      HandshakeRow{"WrongHostName", Cert::OtherHost, false, "localhost",
                                   "ENetTLSCertificateError", "host name mismatch"},
                      HandshakeRow{"IPLiteralNotInCertificate", Cert::OtherHost, false, "127.0.0.1",
                                   "ENetTLSCertificateError", "IP address mismatch"},
                      HandshakeRow{"Tls11OnlyServerRefused", Cert::Good, true, "127.0.0.1",
                                   "ENetTLSError", "protocol version"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsTest, KeptAliveConnectionCarriesSeveralResponsesAfterOneHandshake) {
    const std::string chunked =
        HttpResponse(200, {{"Transfer-Encoding", "chunked"}},
                     "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n01234\r\n0\r\n\r\n");
    const std::string big(100000, 'x');                           // several TLS records
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";  // skipped as over plain TCP
    LoopbackServer server(
        Conversation({kPage, interim + chunked, HttpResponseWithLength(200, {}, big)}), 10s,
        MakeServerContext(good_));
    auto http = Client();
    EXPECT_EQ("hello over tls", http->Get(Address("127.0.0.1", server, "/1")));
    EXPECT_EQ("abcdefghijklmnopqrstuvwxyz01234", http->Get(Address("127.0.0.1", server, "/2")));
    EXPECT_EQ(big, http->Get(Address("127.0.0.1", server, "/3")));
    EXPECT_EQ(1, http->IOHandler->Handshakes());
    server.Stop();
    EXPECT_EQ(1, server.Connections());
}

// A server that ends the session while the connection is idle: the probe before the next request
// sees its close alert, and the request goes out on a new connection.
TEST_F(TlsTest, IdleCloseIsNoticedByTheProbe) {
    LoopbackServer server(
        [](ServerConnection& c) {
            if (!c.ReadRequestHead().empty() && c.Send(kPage))
                c.Close();
        },
        10s, MakeServerContext(good_));
    auto http = Client();
    EXPECT_EQ("hello over tls", http->Get(Address("127.0.0.1", server, "/1")));
    ASSERT_TRUE(server.WaitForRequests(1));
    std::this_thread::sleep_for(50ms);  // the close alert and the close arrive meanwhile
    EXPECT_EQ("hello over tls", http->Get(Address("127.0.0.1", server, "/2")));
    EXPECT_EQ(2, http->IOHandler->Handshakes());
}

struct EndRow {
    const char* name;
    bool withLength;  // a Content-Length larger than what is sent, else no length at all
    bool alert;       // the server sends its close alert before closing
    bool ok;
};

class TlsBodyEnd : public TlsTest, public ::testing::WithParamInterface<EndRow> {};

// A body that ends with the connection is whole only when the server ended the session.
TEST_P(TlsBodyEnd, ABodyEndingWithTheConnectionNeedsTheCloseAlert) {
    const EndRow& row = GetParam();
    const std::string head = row.withLength ? "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"
                                            : "HTTP/1.1 200 OK\r\n\r\n";
    LoopbackServer server(
        [&](ServerConnection& c) {
            if (c.ReadRequestHead().empty())
                return;
            c.Send(head + "part of a page");
            if (row.alert)
                c.Close();
            else
                c.CloseWithoutAlert();
        },
        10s, MakeServerContext(good_));
    auto http = Client();
    try {
        EXPECT_EQ("part of a page", http->Get(Address("127.0.0.1", server)));
        EXPECT_TRUE(row.ok);
    } catch (const ENetTLSError& e) {
        EXPECT_FALSE(row.ok) << e.what();
        EXPECT_NE(std::string::npos, std::string(e.what()).find("close alert missing"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TlsBodyEnd,
                         ::testing::Values(EndRow{"CloseDelimitedWithAlert", false, true, true},
                                           EndRow{"CloseDelimitedCut", false, false, false},
                                           EndRow{"ShortLengthWithAlert", true, true, true},
                                           EndRow{"ShortLengthCut", true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsTest, SecureCookieGoesBackOverTlsOnly) {
    LoopbackServer tls(
        AlwaysReply(HttpResponseWithLength(200, {{"Set-Cookie", "s=1; path=/; secure"}}, "")), 10s,
        MakeServerContext(good_));
    LoopbackServer plain(AlwaysReply(HttpResponseWithLength(200, {}, "")));
    auto http = Client();
    http->Get(Address("127.0.0.1", tls, "/a"));
    http->Get(Address("127.0.0.1", tls, "/b"));
    http->Get(plain.Url("/c"));
    tls.Stop();
    plain.Stop();
    EXPECT_NE(std::string::npos, tls.Requests().at(1).find("\r\nCookie: s=1\r\n"));
    EXPECT_EQ(std::string::npos, plain.Requests().at(0).find("Cookie:"));
}

TEST_F(TlsTest, PlainServerOnTheTlsPortIsAHandshakeFailure) {
    LoopbackServer server([](ServerConnection& c) {
        c.Send(kPage);  // answers the handshake with plain HTTP
        c.WaitForPeerClose();
    });
    auto http = Client();
    try {
        http->Get(Address("127.0.0.1", server));
        FAIL() << "a plain server cannot pass for a TLS one";
    } catch (const ENetTLSError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("TLS handshake with 127.0.0.1"))
            << e.what();
    }
}

}  // namespace
}  // namespace tovalin::test
