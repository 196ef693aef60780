// Abort from another thread: a GET blocked on a server that never answers ends at once, and the
// aborted client opens no connection any more.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

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

}  // namespace
