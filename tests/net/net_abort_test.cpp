// Abort from another thread: a GET blocked on a server that never answers ends at once, so does
// one whose connect the server never completes, and the aborted client opens no connection any
// more.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "net/net_exceptions.h"
#include "net/net_http.h"
#include "tests/support/loopback_server.h"

namespace {

using namespace std::chrono_literals;
using tovalin::test::LoopbackServer;
using tovalin::test::ServerConnection;

// Reads the request and then says nothing until the test ends.
LoopbackServer::Handler Silent() {
    return [](ServerConnection& conn) {
        conn.ReadRequestHead();
        while (!conn.Stopping()) {
            conn.Pause(5ms);
        }
    };
}

TEST(NetAbort, ABlockedReadEndsAndNoLaterRequestConnects) {
    LoopbackServer server(Silent());
    TNetHTTP http;
    auto blocked = std::async(std::launch::async, [&] {
        try {
            http.Get(server.Url("/slow"));
            return std::string("answered");
        } catch (const ENetException& e) {
            return std::string(e.ClassName());
        }
    });
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(blocked.wait_for(200ms), std::future_status::timeout);  // really blocked

    http.Abort();
    ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready) << "the read did not end";
    EXPECT_NE(blocked.get(), "answered");

    EXPECT_THROW(http.Get(server.Url("/again")), ENetException);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(NetAbort, AbortBeforeAnyRequestFailsTheFirstOpen) {
    LoopbackServer server(Silent());
    TNetHTTP http;
    http.Abort();
    EXPECT_THROW(http.Get(server.Url("/")), ENetTCPConnectionError);
    EXPECT_EQ(server.RequestCount(), 0u);
}

// A listening socket whose accept queue is full: the system drops further connection requests,
// so a connect to it waits (for minutes, through the platform's retries) without an answer.
class FullListener {
  public:
    FullListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 0) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        // Fill the queue: connections that complete and are never accepted.
        for (int i = 0; i < 4; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
            fillers_.push_back(fd);
        }
    }
    ~FullListener() {
        for (const int fd : fillers_) {
            ::close(fd);
        }
        ::close(listener_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int Port() const { return port_; }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

TEST(NetAbort, AConnectTheServerNeverCompletesEnds) {
    auto full = std::make_optional<FullListener>();
    const int port = full->Port();
    ASSERT_NE(port, 0);
    TNetHTTP http;
    auto blocked = std::async(std::launch::async, [&] {
        try {
            http.Get("http://127.0.0.1:" + std::to_string(port) + "/");
            return std::string("answered");
        } catch (const ENetException& e) {
            return std::string(e.ClassName()) + ": " + e.what();
        }
    });
    ASSERT_EQ(blocked.wait_for(500ms), std::future_status::timeout) << blocked.get();

    http.Abort();
    const bool ended = blocked.wait_for(2s) == std::future_status::ready;
    // Should the abort not end it, the listener goes, so the connect is refused at its next try
    // instead of waiting out the platform's limit.
    full.reset();
    ASSERT_TRUE(ended) << "the connect did not end";
    EXPECT_EQ(blocked.get(), "ENetTCPConnectionError: Connection aborted.");
}

}  // namespace
