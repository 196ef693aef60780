// The loader core over an in-memory site: the order of its steps, repeats, giving up, and the
// ends of a topic.
#include "topic/topic_loader.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/topic/topic_page.h"
#include "topic/starter_values.h"
#include "topic/topic_cutting.h"

namespace {

using namespace topic_page;

// Pages by address; an address may fail a number of times before it answers.
struct TFakeSite {
    std::map<std::string, std::string> pages;
    std::map<std::string, int> failuresLeft;
    std::vector<std::string> requests;

    std::string Get(const std::string& address) {
        requests.push_back(address);
        if (failuresLeft[address]-- > 0) {
            throw std::runtime_error("connection refused");
        }
        const auto it = pages.find(address);
        if (it == pages.end()) {
            throw std::runtime_error("HTTP/1.1 404 Not Found");
        }
        return it->second;
    }
};

// Runs one load and records what the window would have seen, in order.
struct TLoadRecord {
    std::vector<std::string> events;
    std::vector<std::string> addressReads;
    std::shared_ptr<TPostList> published;
    std::unique_ptr<TTopicLoader> loader;
};

TLoadRecord Load(TFakeSite& site, std::function<std::string()> address) {
    TLoadRecord record;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&] {
        record.addressReads.push_back(address());
        return record.addressReads.back();
    };
    hooks.ShowStarterPost = [&](const std::string& post) {
        record.events.push_back("show [" + StarterName() + "] " + post);
    };
    hooks.PublishPosts = [&](const std::shared_ptr<TPostList>& posts) {
        record.published = posts;
        record.events.push_back("publish " + std::to_string(posts->Count()));
    };
    record.loader = std::make_unique<TTopicLoader>(
        [&site](const std::string& a) { return site.Get(a); }, hooks);
    record.loader->Execute();
    return record;
}

std::string FirstPage(const std::string& name, const std::string& next) {
    return Page(Starter("http://s/people/1/", name) + Opening("开篇") + Reply(name, "p1a") +
                Reply("Other", "o") + Reply(name, "p1b") + (next.empty() ? "" : Next(next)));
}

std::string LaterPage(const std::string& name, const std::string& post, const std::string& next) {
    return Page(Reply(name, post) + Reply("Other", "o") +
                (next.empty() ? LastPageNext() : Next(next)));
}

TEST(TopicLoader, ShowsTheOpeningPostThenPublishesAfterEveryPage) {
    TFakeSite site;
    site.pages["http://s/t/1"] = FirstPage("Ann", "http://s/t/1?start=100");
    site.pages["http://s/t/1?start=100"] = LaterPage("Ann", "p2", "http://s/t/1?start=200");
    site.pages["http://s/t/1?start=200"] = LaterPage("Ann", "p3", "");
    const TLoadRecord r = Load(site, [] { return std::string("  http://s/t/1\n"); });
    const TTopicLoader* loader = r.loader.get();

    EXPECT_EQ(r.events, (std::vector<std::string>{"show [Ann] 开篇\n</div>", "publish 2",
                                                  "publish 3", "publish 4", "publish 4"}));
    EXPECT_EQ(r.published, loader->WorkerPosts);  // the list itself, not a copy
    EXPECT_EQ(loader->WorkerPosts->Snapshot(),
              (std::vector<std::string>{"p1a\n", "p1b\n", "p2\n", "p3\n"}));
    EXPECT_EQ(loader->PagesFetched(),
              (std::vector<std::string>{"http://s/t/1", "http://s/t/1?start=100",
                                        "http://s/t/1?start=200"}));
    EXPECT_EQ(StarterUrl(), "http://s/people/1/");
    EXPECT_EQ(r.addressReads.size(), 1u);
}

TEST(TopicLoader, RepeatsFailedRequestsReadingTheAddressBoxAgain) {
    TFakeSite site;
    site.pages["http://s/t/2"] = FirstPage("Bo", "http://s/t/2?p=2");
    site.pages["http://s/t/2?p=2"] = LaterPage("Bo", "p2", "");
    site.failuresLeft["http://s/t/2"] = 2;
    site.failuresLeft["http://s/t/2?p=2"] = 2;
    int reads = 0;
    // The user corrects a typo while the first attempt fails.
    const TLoadRecord r =
        Load(site, [&] { return ++reads == 1 ? "http://s/t/typo" : "http://s/t/2"; });
    EXPECT_EQ(r.addressReads.size(), 4u);
    EXPECT_EQ(site.requests, (std::vector<std::string>{
                                 "http://s/t/typo", "http://s/t/2", "http://s/t/2", "http://s/t/2",
                                 "http://s/t/2?p=2", "http://s/t/2?p=2", "http://s/t/2?p=2"}));
    ASSERT_NE(r.published, nullptr);
    EXPECT_EQ(r.published->Snapshot(), (std::vector<std::string>{"p1a\n", "p1b\n", "p2\n"}));
}

TEST(TopicLoader, GivesUpAfterTenRepeatsAndGoesOnWithAnEmptyPage) {
    TFakeSite site;
    SetStarter("old", "Old");
    const TLoadRecord first = Load(site, [] { return std::string("http://s/nowhere"); });
    EXPECT_EQ(site.requests.size(), 1u + TTopicLoader::kMaxRepeats);
    EXPECT_EQ(first.events, (std::vector<std::string>{"show [] ", "publish 0", "publish 0"}));
    EXPECT_EQ(StarterUrl(), "");

    site.requests.clear();
    site.pages["http://s/t/3"] = FirstPage("Cy", "http://s/t/3?p=2");
    site.pages["http://s/t/3?p=2"] = LaterPage("Cy", "never", "");
    site.failuresLeft["http://s/t/3?p=2"] = 1 + TTopicLoader::kMaxRepeats;
    const TLoadRecord later = Load(site, [] { return std::string("http://s/t/3"); });
    EXPECT_EQ(site.requests.size(), 2u + TTopicLoader::kMaxRepeats);
    EXPECT_EQ(later.events, (std::vector<std::string>{"show [Cy] 开篇\n</div>", "publish 2",
                                                      "publish 2", "publish 2"}));
    // The page that gave up is named with its last failure; the first page came whole.
    ASSERT_EQ(later.loader->PagesGivenUp().size(), 1u);
    EXPECT_EQ(later.loader->PagesGivenUp()[0].Address, "http://s/t/3?p=2");
    EXPECT_EQ(later.loader->PagesGivenUp()[0].Reason, "connection refused");
    ASSERT_EQ(first.loader->PagesGivenUp().size(), 1u);
    EXPECT_EQ(first.loader->PagesGivenUp()[0].Reason, "HTTP/1.1 404 Not Found");
}

TEST(TopicLoader, StopsWhenANextLinkLeadsBackToAFetchedPage) {
    TFakeSite site;
    site.pages["http://s/t/4"] = FirstPage("Di", "http://s/t/4?p=2");
    site.pages["http://s/t/4?p=2"] = LaterPage("Di", "p2", "http://s/t/4");
    const TLoadRecord r = Load(site, [] { return std::string("http://s/t/4"); });
    EXPECT_EQ(site.requests, (std::vector<std::string>{"http://s/t/4", "http://s/t/4?p=2"}));
    EXPECT_EQ(r.published->Count(), 3);

    site.requests.clear();
    site.pages["http://s/t/5"] = FirstPage("Di", "http://s/t/5");  // a page linking to itself
    Load(site, [] { return std::string("http://s/t/5"); });
    EXPECT_EQ(site.requests, (std::vector<std::string>{"http://s/t/5"}));
}

TEST(TopicLoader, AnIllFormedPageEndsTheTopic) {
    TFakeSite site;
    site.pages["http://s/t/6"] = FirstPage("Ed", "http://s/t/6?p=2");
    site.pages["http://s/t/6?p=2"] = LaterPage("Ed", "p2 \xC0\xAF", "http://s/t/6?p=3");
    site.pages["http://s/t/6?p=3"] = LaterPage("Ed", "p3", "");
    const TLoadRecord r = Load(site, [] { return std::string("http://s/t/6"); });
    EXPECT_EQ(site.requests.size(), 2u);
    EXPECT_EQ(r.events, (std::vector<std::string>{"show [Ed] 开篇\n</div>", "publish 2",
                                                  "publish 2", "publish 2"}));

    site.requests.clear();
    site.pages["http://s/t/7"] = "\xFF" + FirstPage("Ed", "http://s/t/6?p=3");
    const TLoadRecord bad = Load(site, [] { return std::string("http://s/t/7"); });
    EXPECT_EQ(site.requests.size(), 1u);
    EXPECT_EQ(bad.events, (std::vector<std::string>{"show [] ", "publish 0", "publish 0"}));
}

TEST(TopicLoader, TheFirstPageFixesTheSuffix) {
    // No " (" after the name on page 1: "</a>" serves the whole load and still finds page 2's
    // replies, which show " (" after the name.
    TFakeSite site;
    site.pages["http://s/t/8"] =
        Page(Starter("u", "Fa") + Opening("o") + PlainReply("Fa", "p1") + Next("http://s/t/8?p=2"));
    site.pages["http://s/t/8?p=2"] = LaterPage("Fa", "p2", "");
    const TLoadRecord r = Load(site, [] { return std::string("http://s/t/8"); });
    EXPECT_EQ(r.published->Snapshot(), (std::vector<std::string>{"p1\n", "p2\n"}));
}

TEST(TopicLoader, ErrorsOfTheWindowStepsAreIgnored) {
    TFakeSite site;
    site.pages["http://s/t/9"] = FirstPage("Gu", "http://s/t/9?p=2");
    site.pages["http://s/t/9?p=2"] = LaterPage("Gu", "p2", "");
    int publishes = 0;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("http://s/t/9"); };
    hooks.ShowStarterPost = [](const std::string&) { throw std::runtime_error("view failed"); };
    hooks.PublishPosts = [&](const std::shared_ptr<TPostList>&) {
        ++publishes;
        throw std::runtime_error("window gone");
    };
    TTopicLoader loader([&site](const std::string& a) { return site.Get(a); }, hooks);
    loader.Execute();
    EXPECT_EQ(publishes, 3);
    EXPECT_EQ(loader.WorkerPosts->Count(), 3);
}

TEST(TopicLoader, ASiteWithoutEndStopsAtThePageBound) {
    // Every page links to a new one.
    std::size_t fetched = 0;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("p0"); };
    TTopicLoader loader(
        [&](const std::string& address) {
            ++fetched;
            const std::string next = "p" + std::to_string(std::stoul(address.substr(1)) + 1);
            return Page(Starter("u", "Hu") + Opening("o") + Reply("Hu", address) + Next(next));
        },
        hooks);
    loader.Execute();
    EXPECT_EQ(fetched, TTopicLoader::kMaxPages);
    EXPECT_EQ(loader.WorkerPosts->Count(), static_cast<int>(TTopicLoader::kMaxPages));
}

TEST(TopicLoader, LoadsAtOnceShareWholeStarterValues) {
    // Two workers write the starter while a reader (the caption) takes the pair: every read is
    // one load's whole pair, never a mix.
    TFakeSite siteA;
    TFakeSite siteB;
    for (int page = 1; page <= 300; ++page) {
        const std::string next = page < 300 ? "p" + std::to_string(page + 1) : "";
        siteA.pages["p" + std::to_string(page)] =
            page == 1 ? FirstPage("Ann", next) : LaterPage("Ann", "a", next);
        siteB.pages["p" + std::to_string(page)] =
            page == 1 ? Page(Starter("http://s/people/bob-has-a-long-address/", "Bob") +
                             Opening("b") + Reply("Bob", "b") + Next(next))
                      : LaterPage("Bob", "b", next);
    }
    SetStarter("", "");
    std::atomic<bool> done{false};
    int mixed = 0;
    std::thread reader([&] {
        while (!done) {
            const TStarterValues s = Starter();
            const bool whole =
                (s.Url.empty() && s.Name.empty()) ||
                (s.Url == "http://s/people/1/" && s.Name == "Ann") ||
                (s.Url == "http://s/people/bob-has-a-long-address/" && s.Name == "Bob");
            mixed += whole ? 0 : 1;
        }
    });
    auto run = [](TFakeSite& site) {
        TTopicLoaderHooks hooks;
        hooks.ReadAddress = [] { return std::string("p1"); };
        TTopicLoader loader([&site](const std::string& a) { return site.Get(a); }, hooks);
        loader.Execute();
        return loader.WorkerPosts->Count();
    };
    int postsA = 0;
    int postsB = 0;
    std::thread a([&] { postsA = run(siteA); });
    std::thread b([&] { postsB = run(siteB); });
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(siteA.requests.size(), 300u);
    EXPECT_EQ(siteB.requests.size(), 300u);
    // Each load collected under whichever name was current; neither lost its pages.
    EXPECT_GT(postsA + postsB, 0);
}

// A page that repeats the reply key before one operation marker: every fragment runs on to that
// marker, so the fragments overlap and their total grows with the square of the replies.
std::string OverlappingReplies(const std::string& key, int replies) {
    std::string body;
    for (int i = 0; i < replies; ++i) {
        body += "<h4>" + key + "sig)</h4></div>r" + std::to_string(i) + " ";
    }
    return body + "<div class=\"operation_div\"></div>";
}

// What the unbounded cutting gives a page, for judging which prefix the load kept.
std::vector<std::string_view> AllFragments(const std::string& page, const std::string& key) {
    std::vector<std::string_view> all;
    CutReplies(
        page, [&] { return key; }, [&](std::string_view f) { all.push_back(f); });
    return all;
}

// The longest prefix of the fragments that totals at most four times the page.
std::vector<std::string> PrefixWithinFourPages(const std::vector<std::string_view>& all,
                                               std::size_t pageSize) {
    std::vector<std::string> kept;
    std::size_t total = 0;
    for (const std::string_view f : all) {
        total += f.size();
        if (total > 4 * pageSize) {
            break;
        }
        kept.emplace_back(f);
    }
    return kept;
}

TEST(TopicLoader, APageGivingMoreThanFourTimesItsSizeIsCutShortAndNamed) {
    TFakeSite site;
    site.pages["http://s/t/m"] = FirstPage("Ivy", "http://s/t/m?p=2");
    site.pages["http://s/t/m?p=2"] =
        Page(OverlappingReplies("Ivy</a> (", 1500) + Next("http://s/t/m?p=3"));
    site.pages["http://s/t/m?p=3"] = LaterPage("Ivy", "p3", "");
    std::vector<std::string> told;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("http://s/t/m"); };
    hooks.PageMalformed = [&](const std::string& address) {
        told.push_back(address);
        throw std::runtime_error("status line gone");  // ignored like the other hooks
    };
    TTopicLoader loader([&site](const std::string& a) { return site.Get(a); }, hooks);
    loader.Execute();

    const std::string& hostile = site.pages["http://s/t/m?p=2"];
    const std::vector<std::string_view> all = AllFragments(hostile, "Ivy</a> (");
    const std::vector<std::string> kept = PrefixWithinFourPages(all, hostile.size());
    ASSERT_EQ(all.size(), 1500u);
    ASSERT_GT(kept.size(), 1u);
    ASSERT_LT(kept.size(), all.size());

    std::vector<std::string> expected{"p1a\n", "p1b\n"};
    expected.insert(expected.end(), kept.begin(), kept.end());
    expected.push_back("p3\n");  // the page after the malformed one is read whole
    EXPECT_EQ(loader.WorkerPosts->Snapshot(), expected);
    EXPECT_EQ(told, (std::vector<std::string>{"http://s/t/m?p=2"}));
    EXPECT_EQ(loader.PagesMalformed(), told);
    EXPECT_TRUE(loader.PagesGivenUp().empty());
}

TEST(TopicLoader, AMalformedFirstPageIsNamedByTheAddressFetched) {
    TFakeSite site;
    site.pages["http://s/t/n"] = Page(Starter("http://s/people/1/", "Jo") + Opening("o") +
                                      OverlappingReplies("Jo</a> (", 300));
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("  http://s/t/n\n"); };
    TTopicLoader loader([&site](const std::string& a) { return site.Get(a); }, hooks);
    loader.Execute();
    EXPECT_EQ(loader.PagesMalformed(), (std::vector<std::string>{"http://s/t/n"}));
    const std::string& page = site.pages["http://s/t/n"];
    EXPECT_EQ(loader.WorkerPosts->Snapshot(),
              PrefixWithinFourPages(AllFragments(page, "Jo</a> ("), page.size()));
}

TEST(TopicLoader, WellFormedPagesAreNeverMalformed) {
    // Replies of a real page are disjoint pieces of it, however many there are on one page.
    TFakeSite site;
    std::string body = Starter("http://s/people/1/", "Kim") + Opening("o");
    std::vector<std::string> posts;
    for (int i = 0; i < 500; ++i) {
        posts.push_back(std::string(i % 7 == 0 ? 4000 : 1, 'x') + std::to_string(i) + "\n");
        body += Reply("Kim", posts.back().substr(0, posts.back().size() - 1));
    }
    site.pages["http://s/t/k"] = Page(body);
    const TLoadRecord r = Load(site, [] { return std::string("http://s/t/k"); });
    EXPECT_TRUE(r.loader->PagesMalformed().empty());
    EXPECT_EQ(r.published->Snapshot(), posts);
}

}  // namespace

namespace {

// A load that nobody wants any more: ELoadStopped from the getter or from any window step ends
// it there, without repeats, further pages or further steps; other errors of the steps do not.
TEST(TopicLoader, ALoadStoppedByAStepOrTheGetterEndsAtOnce) {
    TFakeSite site;
    site.pages["http://s/t/1"] = FirstPage("Ann", "http://s/t/2");
    site.pages["http://s/t/2"] = LaterPage("Ann", "p2", "");

    struct Case {
        const char* stopAt;  // the step that raises ELoadStopped
        std::vector<std::string> requests;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"get", {}, {}},
        {"address", {}, {}},
        {"starter", {"http://s/t/1"}, {}},
        {"show", {"http://s/t/1"}, {"starter Ann"}},
        {"publish", {"http://s/t/1"}, {"starter Ann", "show"}},
        {"fetched", {"http://s/t/1"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAt);
        site.requests.clear();
        std::vector<std::string> events;
        const std::string stopAt = c.stopAt;
        const auto stopIf = [&](const char* step) {
            if (stopAt == step) {
                throw ELoadStopped();
            }
        };
        TTopicLoaderHooks hooks;
        hooks.ReadAddress = [&] {
            stopIf("address");
            return std::string("http://s/t/1");
        };
        hooks.StarterFound = [&](const std::string&, const std::string& name) {
            stopIf("starter");
            events.push_back("starter " + name);
        };
        hooks.ShowStarterPost = [&](const std::string&) {
            stopIf("show");
            events.push_back("show");
        };
        hooks.PublishPosts = [&](const std::shared_ptr<TPostList>&) {
            stopIf("publish");
            events.push_back("publish");
        };
        hooks.PageFetched = [&](const std::string&) { stopIf("fetched"); };
        hooks.PageGaveUp = [&](const std::string&, const std::string&) {
            events.push_back("gave up");
        };
        TTopicLoader loader(
            [&](const std::string& a) {
                stopIf("get");
                return site.Get(a);
            },
            hooks);
        EXPECT_THROW(loader.Execute(), ELoadStopped);
        EXPECT_EQ(site.requests, c.requests);
        EXPECT_EQ(events, c.events);
    }
}

TEST(TopicLoader, StarterValuesGoToTheHookWhenThereIsOne) {
    TFakeSite site;
    site.pages["http://s/t/1"] = FirstPage("Ann", "");
    SetStarter("before", "Before");
    std::vector<std::string> told;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("http://s/t/1"); };
    hooks.StarterFound = [&](const std::string& url, const std::string& name) {
        told = {url, name};
        SetStarter(url, name);  // the window's step writes them; the reply key reads them
    };
    TTopicLoader loader([&](const std::string& a) { return site.Get(a); }, hooks);
    loader.Execute();
    EXPECT_EQ(told, (std::vector<std::string>{"http://s/people/1/", "Ann"}));
    EXPECT_EQ(loader.WorkerPosts->Count(), 2);
}

}  // namespace
