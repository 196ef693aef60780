// The loader with the real HTTP client against a topic site served on loopback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/net_http.h"
#include "tests/topic/topic_site.h"
#include "topic/starter_values.h"
#include "topic/topic_loader.h"

namespace {

using namespace topic_page;
using namespace topic_site;

struct TSiteLoad {
    std::vector<std::string> posts;
    std::vector<std::string> pages;
    std::string firstPost;
    int publishes = 0;
};

TSiteLoad LoadFrom(const std::string& address) {
    TNetHTTP http;
    TSiteLoad result;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&] { return address; };
    hooks.PublishPosts = [&](const std::shared_ptr<TPostList>&) { ++result.publishes; };
    TTopicLoader loader([&](const std::string& a) { return http.Get(a); }, hooks);
    loader.Execute();
    result.posts = loader.WorkerPosts->Snapshot();
    result.pages = loader.PagesFetched();
    result.firstPost = loader.FirstPost;
    return result;
}

std::vector<std::string> Targets(const LoopbackServer& server) {
    std::vector<std::string> targets;
    for (const std::string& head : server.Requests()) {
        targets.push_back(tovalin::test::RequestTarget(head));
    }
    return targets;
}

TEST(TopicLoaderSite, FollowsEveryPageWithCookiesRepeatsAndStopsAtAFetchedPage) {
    TTopicSite site;
    site.pages["/t/1"] =
        Page(Starter("{base}/people/ann/", "安娜") + Opening("<p>开篇</p>") + Reply("安娜", "一") +
             Reply("Bob", "b") + Next("{base}/t/1?start=100"));
    site.pages["/t/1?start=100"] =
        Page(Reply("安娜", "二") + Reply("安娜", "三") + Next("{base}/t/1?start=200"));
    // The last page links back to the first: the load must end, not go round.
    site.pages["/t/1?start=200"] =
        Page(Reply("Bob", "b") + Reply("安娜", "四") + Next("{base}/t/1"));
    site.setsCookie["/t/1"] = "sid=abc123; Path=/";
    site.needsCookie["/t/1?start=100"] = "Cookie: sid=abc123";
    site.failures["/t/1?start=100"] = 2;
    const auto server = Serve(site);

    const TSiteLoad r = LoadFrom(server->Url("/t/1"));
    EXPECT_EQ(r.firstPost, "<p>开篇</p>\n</div>");
    EXPECT_EQ(StarterName(), "安娜");
    EXPECT_EQ(StarterUrl(), server->Url("/people/ann/"));
    EXPECT_EQ(r.posts, (std::vector<std::string>{"一\n", "二\n", "三\n", "四\n"}));
    EXPECT_EQ(r.publishes, 4);
    EXPECT_EQ(Targets(*server),
              (std::vector<std::string>{"/t/1", "/t/1?start=100", "/t/1?start=100",
                                        "/t/1?start=100", "/t/1?start=200"}));
    EXPECT_EQ(r.pages, (std::vector<std::string>{server->Url("/t/1"), server->Url("/t/1?start=100"),
                                                 server->Url("/t/1?start=200")}));
}

TEST(TopicLoaderSite, AnIllFormedPageEndsTheLoadAfterItsPublishes) {
    TTopicSite site;
    site.pages["/t/2"] =
        Page(Starter("u", "Ann") + Opening("o") + Reply("Ann", "one") + Next("{base}/t/2?p=2"));
    site.pages["/t/2?p=2"] = Page(Reply("Ann", "half \xE4\xB8") + Next("{base}/t/2?p=3"));
    site.pages["/t/2?p=3"] = Page(Reply("Ann", "never"));
    const auto server = Serve(site);

    const TSiteLoad r = LoadFrom(server->Url("/t/2"));
    EXPECT_EQ(r.posts, (std::vector<std::string>{"one\n"}));
    EXPECT_EQ(r.publishes, 3);
    EXPECT_EQ(Targets(*server), (std::vector<std::string>{"/t/2", "/t/2?p=2"}));
}

}  // namespace
