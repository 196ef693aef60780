// The loopback server itself: heads recorded byte for byte, pieces arrive in order, site mode
// keeps a connection alive across requests.
#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tovalin::test {
namespace {

int Dial(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(0, ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
    return fd;
}

std::string ReadAll(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
        out.append(buf, n);
    return out;
}

TEST(LoopbackServer, RecordsHeadAndSendsPieces) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.SendInPieces("abcdefg", 2, 5ms);
    });
    int fd = Dial(server.port());
    std::string head = "GET /x HTTP/1.1\r\nHost: h\r\n\r\n";
    ASSERT_EQ(static_cast<ssize_t>(head.size()), ::send(fd, head.data(), head.size(), 0));
    EXPECT_EQ("abcdefg", ReadAll(fd));
    ::close(fd);
    server.Stop();
    ASSERT_EQ(1u, server.RequestCount());
    EXPECT_EQ(head, server.Requests()[0]);
    EXPECT_EQ(1, server.Connections());
}

TEST(LoopbackServer, SiteServesSeveralPagesOnOneConnection) {
    LoopbackServer server(SiteHandler({{"/a", HttpResponseWithLength(200, {}, "A")}}));
    int fd = Dial(server.port());
    std::string two = "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n";
    ::send(fd, two.data(), two.size(), 0);
    ::shutdown(fd, SHUT_WR);
    std::string all = ReadAll(fd);
    ::close(fd);
    EXPECT_EQ(HttpResponseWithLength(200, {}, "A") + HttpResponseWithLength(404, {}, "not found"),
              all);
}

}  // namespace
}  // namespace tovalin::test

namespace tovalin::test {
namespace {

TEST(LoopbackServer, ZeroWaitStillSeesAPeerThatHasGone) {
    std::atomic<int> seen{-1};
    LoopbackServer server([&seen](ServerConnection& c) {
        c.Pause(100ms);
        seen = c.WaitForPeerClose(0ms) ? 1 : 0;
    });
    int fd = Dial(server.port());
    ::close(fd);
    for (int i = 0; i < 250 && seen.load() < 0; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(1, seen.load());
}

}  // namespace
}  // namespace tovalin::test
