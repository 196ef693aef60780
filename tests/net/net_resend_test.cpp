// A server that drops each kept-alive connection after one response without saying so: the
// next request on that connection dies unanswered. With the resend on, it goes once more on a
// new connection and nothing fails; the bare client reports the dead connection as before.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "net/net_http.h"
#include "tests/support/loopback_server.h"

namespace tovalin::test {
namespace {

// Waits are bounded so a client gone wrong ends the server instead of holding the test.
constexpr int kWaitMs = 2000;

// One connection at a time (no thread per connection, so thousands stay cheap): answer the
// first request, then take the next request's arrival as the moment to hang up, alternately
// with an orderly close and with a reset, without answering it.
class SilentCloser {
  public:
    SilentCloser() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 16) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            throw std::runtime_error("silent closer: cannot listen");
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~SilentCloser() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/page"; }
    int Answered() const { return answered_.load(); }

  private:
    static bool Readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, kWaitMs) > 0;
    }
    // Reads until a request head is complete; false when the client closed or went quiet.
    static bool ReadHead(int fd) {
        std::string head;
        char buf[2048];
        while (head.find("\r\n\r\n") == std::string::npos) {
            if (!Readable(fd))
                return false;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            head.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    void Serve() {
        static const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage";
        for (int i = 0; !stop_; ++i) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                continue;
            // Counted before the answer goes out, so the client never sees more than is counted.
            if (ReadHead(fd)) {
                ++answered_;
                ::send(fd, kResponse.data(), kResponse.size(), MSG_NOSIGNAL);
                if (Readable(fd) && i % 2 == 1) {
                    linger l{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                }
            }
            ::close(fd);
        }
    }

    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

TEST(ResendOnDeadConnection, NoneOfTwoThousandRequestsFails) {
    constexpr int kRequests = 2000;
    SilentCloser server;
    TNetHTTP http;
    http.ResendOnDeadConnection = true;
    for (int i = 0; i < kRequests; ++i) {
        ASSERT_EQ("page", http.Get(server.Url())) << "request " << i;
    }
    EXPECT_EQ(kRequests, server.Answered());
}

TEST(ResendOnDeadConnection, IsOffInTheBareClient) {
    SilentCloser server;
    TNetHTTP http;
    EXPECT_EQ("page", http.Get(server.Url()));
    try {
        http.Get(server.Url());
        FAIL() << "the bare client never repeats a request";
    } catch (const ENetConnClosedGracefully&) {
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(10054, e.code());
    }
    EXPECT_EQ(1, server.Answered());
}

}  // namespace
}  // namespace tovalin::test
