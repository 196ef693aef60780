// The connection's reads against scripted servers: line ends and limits, counted and until-close
// reads, closes and resets, and the errors of opening.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "net/net_exceptions.h"
#include "net/net_socket_errors.h"
#include "net/net_socket_layer.h"
#include "net/net_tcp_connection.h"
#include "tests/support/loopback_server.h"

namespace tovalin::test {
namespace {

using tovalin::net::TNetTCPClient;

// A server that sends `bytes` as soon as a client connects and then closes (or waits).
LoopbackServer::Handler Push(std::string bytes, bool close = true) {
    return [bytes, close](ServerConnection& c) {
        c.Send(bytes);
        if (close) {
            c.Close();
        } else {
            c.WaitForPeerClose();
        }
    };
}

void Connect(TNetTCPClient& client, const LoopbackServer& server,
             const std::string& host = "127.0.0.1") {
    client.Host = host;
    client.Port = server.port();
    client.OpenConnection();
}

TEST(TcpConnection, LineEnds) {
    LoopbackServer server(Push("crlf\r\nbare lf\nin\rside\r\n\r\n"));
    TNetTCPClient c;
    Connect(c, server);
    EXPECT_EQ("crlf", c.ReadLine());
    EXPECT_EQ("bare lf", c.ReadLine());
    EXPECT_EQ("in\rside", c.ReadLine());
    EXPECT_EQ("", c.ReadLine());
    EXPECT_THROW(c.ReadLine(), ENetConnClosedGracefully);
}

TEST(TcpConnection, LineLengthLimitCountsTheCarriageReturn) {
    const std::string ok(16383, 'a');
    LoopbackServer server(Push(ok + "\r\n" + std::string(16384, 'b') + "\r\n", false));
    TNetTCPClient c;
    Connect(c, server);
    EXPECT_EQ(ok, c.ReadLine());
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENetReadLnMaxLineLengthExceeded& e) {
        EXPECT_STREQ("Max line length exceeded.", e.what());
    }
}

TEST(TcpConnection, PartialLineThenCloseGivesAnEmptyLineThenTheClose) {
    LoopbackServer server([](ServerConnection& s) {
        s.Send("partial");
        s.Pause(50ms);
        s.Close();
    });
    TNetTCPClient c;
    Connect(c, server);
    EXPECT_EQ("", c.ReadLine());
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_STREQ("Connection Closed Gracefully.", e.what());
    }
    EXPECT_EQ(7u, c.Buffered());
}

TEST(TcpConnection, CountedReadCutShortKeepsWhatArrived) {
    LoopbackServer server([](ServerConnection& s) {
        s.Send(std::string(100, 'x'));
        s.Pause(50ms);
        s.Close();
    });
    TNetTCPClient c;
    Connect(c, server);
    std::string sink = "pre";
    EXPECT_THROW(c.ReadCounted(500, sink), ENetConnClosedGracefully);
    EXPECT_EQ("pre" + std::string(100, 'x'), sink);
}

TEST(TcpConnection, CountedReadOfAHugeCountReservesLittle) {
    LoopbackServer server(Push("abc"));
    TNetTCPClient c;
    Connect(c, server);
    std::string sink;
    EXPECT_THROW(c.ReadCounted(std::uint64_t{1} << 62, sink), ENetConnClosedGracefully);
    EXPECT_EQ("abc", sink);
    EXPECT_LT(sink.capacity(), std::size_t{64} << 20);
}

TEST(TcpConnection, ReadUntilCloseInPiecesDeliversEveryByte) {
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data.push_back(static_cast<char>('a' + i % 26));
    LoopbackServer server([data](ServerConnection& s) {
        s.SendInPieces(data, 7000, 2ms);
        s.Close();
    });
    TNetTCPClient c;
    Connect(c, server);
    std::string sink;
    c.ReadUntilClose(sink);
    EXPECT_EQ(data, sink);
    EXPECT_FALSE(c.IsOpen());
}

TEST(TcpConnection, ReadTimeoutAppliesOnlyWhenSet) {
    LoopbackServer server(Push("", false));
    TNetTCPClient c;
    Connect(c, server);
    c.ReadTimeout = 100;
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENetReadTimeout& e) {
        EXPECT_STREQ("Read Timeout", e.what());
    }
    EXPECT_TRUE(c.IsOpen());
}

TEST(TcpConnection, LocalhostInAnyCaseIsLoopback) {
    for (const char* host : {"LOCALHOST", "localhost", "LocalHost", "127.000.0.001"}) {
        LoopbackServer server(Push("hi\n"));
        TNetTCPClient c;
        Connect(c, server, host);
        EXPECT_EQ("hi", c.ReadLine()) << host;
    }
}

TEST(TcpConnection, DottedTextWithAPartAbove255GoesToTheLookup) {
    TNetTCPClient c;
    c.Host = "127.0.0.256";
    c.Port = 80;
    try {
        c.OpenConnection();
        FAIL();
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(11001, e.code());
        EXPECT_STREQ("Socket Error # 11001\r\nHost not found.", e.what());
    }
}

TEST(TcpConnection, RefusedConnectIsSocketError10061) {
    std::uint16_t closedPort;
    {
        LoopbackServer server([](ServerConnection&) {});
        closedPort = server.port();
    }
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = closedPort;
    try {
        c.OpenConnection();
        FAIL();
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(10061, e.code());
        EXPECT_STREQ("Socket Error # 10061\r\nConnection refused.", e.what());
    }
    EXPECT_FALSE(c.IsOpen());
}

TEST(TcpConnection, OpenStatesAndNotConnected) {
    TNetTCPClient c;
    EXPECT_FALSE(c.IsOpen());
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENetNotConnected& e) {
        EXPECT_STREQ("Not Connected", e.what());
    }
    EXPECT_THROW(c.WriteLine("x"), ENetTCPConnectionError);
    LoopbackServer server(Push("", false));
    Connect(c, server);
    EXPECT_TRUE(c.IsOpen());
    try {
        c.OpenConnection();
        FAIL();
    } catch (const ENetAlreadyConnected& e) {
        EXPECT_STREQ("Already connected.", e.what());
    }
    c.CloseConnection();
    EXPECT_FALSE(c.IsOpen());
}

TEST(TcpConnection, IdleResetIsNoticedByTheProbe) {
    LoopbackServer server([](ServerConnection& s) {
        s.Pause(50ms);
        s.Reset();
    });
    TNetTCPClient c;
    Connect(c, server);
    std::this_thread::sleep_for(200ms);
    try {
        c.ProbeClose();
        FAIL();
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(10054, e.code());
    }
    EXPECT_FALSE(c.IsOpen());
    Connect(c, server);
    EXPECT_TRUE(c.IsOpen());
}

TEST(TcpConnection, ProbeNoticesAnIdleCloseAndKeepsLateBytes) {
    LoopbackServer server(Push("late"));
    TNetTCPClient c;
    Connect(c, server);
    std::this_thread::sleep_for(100ms);
    c.ProbeClose();
    c.ProbeClose();
    EXPECT_FALSE(c.IsOpen());
    EXPECT_EQ(4u, c.Buffered());
}

TEST(TcpConnection, WritesGoOutTogetherAndFailAfterAClose) {
    std::string got;
    LoopbackServer server([&got](ServerConnection& s) { got = s.ReadRequestHead(); });
    TNetTCPClient c;
    Connect(c, server);
    c.BeginWrite();
    c.WriteLine("A");
    c.WriteLine("");
    c.EndWrite();
    ASSERT_TRUE(server.WaitForRequests(1));
    server.Stop();
    EXPECT_EQ("A\r\n\r\n", got);
    std::this_thread::sleep_for(50ms);
    c.ProbeClose();
    try {
        c.WriteLine("late");
        FAIL();
    } catch (const ENetConnClosedGracefully&) {
    }
}

TEST(TcpConnection, SendToAPeerThatHasGoneNeverKillsTheProcess) {
    LoopbackServer server([](ServerConnection& s) { s.Reset(); });
    TNetTCPClient c;
    Connect(c, server);
    std::this_thread::sleep_for(100ms);
    const std::string big(1 << 20, 'x');
    EXPECT_THROW(
        {
            for (int i = 0; i < 8; ++i)
                c.WriteLine(big);
        },
        ENetSocketError);
}

TEST(TcpConnection, SocketLayerCountIsSafeAcrossThreads) {
    const int before = tovalin::net::TNetSocketLayer::Users();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                TNetTCPClient c;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(before, tovalin::net::TNetSocketLayer::Users());
}

TEST(SocketErrors, ErrnoMapsOntoTheTableCodes) {
    using tovalin::net::SocketCodeFromErrno;
    struct Row {
        int err;
        int code;
        const char* text;
    } rows[] = {
        {ECONNREFUSED, 10061, "Connection refused."},
        {ECONNRESET, 10054, "Connection reset by peer."},
        {ETIMEDOUT, 10060, "Connection timed out."},
        {ENETUNREACH, 10051, "Network is unreachable."},
        {EHOSTUNREACH, 10065, "No route to host."},
        {EHOSTDOWN, 10064, "Host is down."},
        {ENETDOWN, 10050, "Network is down."},
        {ECONNABORTED, 10053, "Software caused connection abort."},
        {EPIPE, 10058, "Cannot send or receive after socket is closed."},
        {ESHUTDOWN, 10058, "Cannot send or receive after socket is closed."},
        {EADDRINUSE, 10048, "Address already in use."},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.code, SocketCodeFromErrno(r.err)) << r.err;
        EXPECT_EQ(r.text, tovalin::net::SocketErrorText(r.code));
        EXPECT_EQ("Socket Error # " + std::to_string(r.code) + "\r\n" + r.text,
                  std::string(tovalin::net::MakeSocketError(r.code).what()));
    }
    EXPECT_EQ("Socket Error # 12345\r\n", std::string(tovalin::net::MakeSocketError(12345).what()));
}

TEST(NetErrors, HierarchyAndMessages) {
    ENetConnClosedGracefully closed("Connection Closed Gracefully.");
    EXPECT_NE(nullptr, dynamic_cast<ENetSilentException*>(&closed));
    ENetNotConnected nc("Not Connected");
    EXPECT_NE(nullptr, dynamic_cast<ENetTCPConnectionError*>(&nc));
    ENetHTTPProtocolException p("HTTP/1.1 404 Not Found", 404, "body");
    EXPECT_NE(nullptr, dynamic_cast<ENetProtocolReplyError*>(&p));
    EXPECT_NE(nullptr, dynamic_cast<ENetException*>(&p));
    EXPECT_STREQ("HTTP/1.1 404 Not Found", p.what());
    EXPECT_STREQ("ENetHTTPProtocolException", p.ClassName());
    std::exception& base = p;
    EXPECT_STREQ("HTTP/1.1 404 Not Found", base.what());
}

}  // namespace
}  // namespace tovalin::test
