// Hostile sites seen by a whole topic load over the real client: next links that lead back to
// pages already read, and a next link to another host while the first host's cookies are
// stored.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/net_http.h"
#include "tests/support/loopback_server.h"
#include "topic/topic_loader.h"

namespace tovalin::test {
namespace {

// A topic page of the community site: the starter's link, the opening post, one reply by the
// starter, and a next link to `next` (none when empty).
std::string TopicPage(const std::string& reply, const std::string& next) {
    std::string page =
        "<html><body><div class=\"from\">来自: <a href=\"http://site/people/louzhu/\">楼主</a>"
        "</div><div class=\"topic-content\"><p>opening</p></div><div class=\"sns-bar\"></div>"
        "<ul><li><a href=\"http://site/people/louzhu/\">楼主</a> (2020)</div><p>" +
        reply + "</p><div class=\"operation_div\"></div></li></ul>";
    if (!next.empty())
        page += "<span class=\"next\"><link rel=\"next\" href=\"" + next + "\"/>后页</span>";
    return page + "</body></html>";
}

struct LoadResult {
    std::vector<std::string> fetched;
    std::vector<std::string> posts;
};

LoadResult Load(const std::string& address) {
    auto http = std::make_shared<TNetHTTP>();
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [address] { return address; };
    TTopicLoader loader([http](const std::string& a) { return http->Get(a); }, hooks);
    loader.Execute();
    return {loader.PagesFetched(), loader.WorkerPosts->Snapshot()};
}

// A site whose pages may name its own address, which is known only once it listens.
class Site {
  public:
    Site() : server_([this](ServerConnection& c) { Serve(c); }) {}

    std::string Base() const { return server_.Url(""); }
    void Put(const std::string& target, std::string response) {
        std::lock_guard lock(mutex_);
        pages_[target] = std::move(response);
    }
    LoopbackServer& server() { return server_; }

  private:
    void Serve(ServerConnection& c) {
        for (;;) {
            const std::string head = c.ReadRequestHead();
            if (head.empty())
                return;
            std::string response = HttpResponseWithLength(404, {}, "not found");
            {
                std::lock_guard lock(mutex_);
                auto it = pages_.find(RequestTarget(head));
                if (it != pages_.end())
                    response = it->second;
            }
            c.Send(response);
        }
    }

    std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    LoopbackServer server_;  // last: it stops before the pages go
};

struct LoopRow {
    const char* name;
    // target -> next link; a leading "@" stands for the site's own address.
    std::vector<std::pair<std::string, std::string>> links;
    std::size_t fetches;
};

const LoopRow kLoopRows[] = {
    {"NextLinkIsThePageItself", {{"/t/1/", "@/t/1/"}}, 1},
    // The same page under another spelling is another address: read once more, then the link
    // repeats an address already asked for.
    {"NextLinkIsThePageRelative", {{"/t/1/", "/t/1/"}}, 2},
    {"TwoPagesPointingAtEachOther", {{"/t/1/", "@/t/2/"}, {"/t/2/", "@/t/1/"}}, 2},
    {"ThirdPageBackToTheSecond",
     {{"/t/1/", "@/t/2/"}, {"/t/2/", "@/t/3/"}, {"/t/3/", "@/t/2/"}},
     3},
};

class HostileSiteLoops : public ::testing::TestWithParam<LoopRow> {};

TEST_P(HostileSiteLoops, EveryPageIsReadOnceAndTheLoadEnds) {
    const LoopRow& row = GetParam();
    Site site;
    for (const auto& [target, next] : row.links) {
        const std::string link = next[0] == '@' ? site.Base() + next.substr(1) : next;
        site.Put(target, HttpResponseWithLength(200, {}, TopicPage("reply " + target, link)));
    }
    const LoadResult result = Load(site.Base() + "/t/1/");
    EXPECT_EQ(row.fetches, result.fetched.size());
    EXPECT_EQ(row.fetches, site.server().RequestCount());
    ASSERT_EQ(row.fetches, result.posts.size());
    EXPECT_EQ("<p>reply /t/1/</p>", result.posts[0]);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileSiteLoops, ::testing::ValuesIn(kLoopRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Cookies go back only to the host that set them: a next link to another host (here the same
// machine under another name and port) carries none of them.
TEST(HostileSite, NextLinkToAnotherHostCarriesNoCookies) {
    Site other;
    Site first;
    other.Put("/t/3/", HttpResponseWithLength(200, {}, TopicPage("elsewhere", "")));
    const std::string otherBase = "http://localhost:" + std::to_string(other.server().port());
    first.Put("/t/1/", HttpResponseWithLength(200, {{"Set-Cookie", "sid=secret; path=/"}},
                                              TopicPage("one", first.Base() + "/t/2/")));
    first.Put("/t/2/", HttpResponseWithLength(200, {}, TopicPage("two", otherBase + "/t/3/")));

    const LoadResult result = Load(first.Base() + "/t/1/");
    ASSERT_EQ(3u, result.fetched.size());
    const auto firstRequests = first.server().Requests();
    ASSERT_EQ(2u, firstRequests.size());
    EXPECT_NE(std::string::npos, firstRequests[1].find("\r\nCookie: sid=secret\r\n"))
        << "the cookie goes back to its own host";
    const auto otherRequests = other.server().Requests();
    ASSERT_EQ(1u, otherRequests.size());
    EXPECT_EQ(std::string::npos, otherRequests[0].find("Cookie")) << otherRequests[0];
    EXPECT_EQ(std::string::npos, otherRequests[0].find("secret"));
}

}  // namespace
}  // namespace tovalin::test
