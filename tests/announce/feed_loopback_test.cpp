// The feed with the real HTTP client against loopback servers: the repeats as they happen on
// the wire.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "announce/announcement_feed.h"
#include "announce/announcement_list.h"
#include "announce/shared_values.h"
#include "net/net_http.h"
#include "tests/support/loopback_server.h"

namespace {

using tovalin::test::HttpResponseWithLength;
using tovalin::test::LoopbackServer;
using tovalin::test::ServerConnection;

std::string Page() {
    std::string page = "<html><body>";
    for (int k = 1; k <= 13; ++k) {
        const std::string title = k == 13 ? "1.1" : "title " + std::to_string(k);
        page += "<P>velkorntitle:" + title + "</P>\r\n<P>velkornurl:http://x/" + std::to_string(k) +
                "</P>\r\n";
    }
    return page + "</body></html>";
}

// Answers the first `failures` requests with a broken connection, the rest with the page.
LoopbackServer::Handler FailThenAnswer(int failures, std::atomic<int>& served) {
    return [failures, &served](ServerConnection& connection) {
        while (!connection.Stopping()) {
            if (connection.ReadRequestHead().empty()) {
                return;
            }
            if (++served <= failures) {
                connection.Reset();
                return;
            }
            connection.Send(HttpResponseWithLength(200, {{"Content-Type", "text/html"}}, Page()));
        }
    };
}

class FeedOverLoopback : public ::testing::Test {
  protected:
    void SetUp() override {
        NetworkFailed = 0;
        PublishAnnouncements(nullptr);
    }
    void TearDown() override { PublishAnnouncements(nullptr); }

    void Run(const std::string& address) {
        TNetHTTP http;  // one client for every try
        RunAnnouncementFeed([&http](const std::string& a) { return http.Get(a); }, address,
                            [this](const std::string& first) { shown.push_back(first); });
    }

    std::vector<std::string> shown;
};

TEST_F(FeedOverLoopback, PageAnsweringOnlyTheEleventhTryIsRead) {
    std::atomic<int> served{0};
    LoopbackServer server(FailThenAnswer(10, served));
    Run(server.Url("/announce.html"));
    EXPECT_EQ(server.RequestCount(), 11u);
    EXPECT_EQ(NetworkFailed.load(), 0);
    const auto published = PublishedAnnouncements();
    ASSERT_NE(published, nullptr);
    EXPECT_EQ(published->items.size(), 26u);
    EXPECT_EQ(published->latestVersion, "1.1");
    EXPECT_EQ(shown, std::vector<std::string>{"title 1"});
}

TEST_F(FeedOverLoopback, ServerThatNeverAnswersFailsAfterExactlyElevenRequests) {
    std::atomic<int> served{0};
    LoopbackServer server(FailThenAnswer(1000, served));
    Run(server.Url("/announce.html"));
    EXPECT_EQ(server.RequestCount(), 11u);
    EXPECT_EQ(NetworkFailed.load(), 1);
    EXPECT_EQ(PublishedAnnouncements(), nullptr);
    EXPECT_TRUE(shown.empty());
}

TEST_F(FeedOverLoopback, ErrorStatusesCountAsFailedTries) {
    std::atomic<int> served{0};
    LoopbackServer server([&served](ServerConnection& connection) {
        while (!connection.Stopping() && !connection.ReadRequestHead().empty()) {
            const bool fail = ++served <= 3;
            connection.Send(fail ? HttpResponseWithLength(503, {}, "busy")
                                 : HttpResponseWithLength(200, {}, Page()));
        }
    });
    Run(server.Url("/announce.html"));
    EXPECT_EQ(server.RequestCount(), 4u);
    EXPECT_EQ(NetworkFailed.load(), 0);
    ASSERT_NE(PublishedAnnouncements(), nullptr);
}

}  // namespace
