// The sample site over loopback: its topics read by the real topic loader give exactly the
// starter's posts, its announcement page reads as thirteen records, and the wire behaviours
// the client tests lean on (keep-alive, cookies, failing first requests, chunking, early close,
// idle exit) hold.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include <memory>
#include <string>
#include <vector>

#include "announce/announcement_page.h"
#include "net/net_reader_setup.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_tls.h"
#include "tests/tools/raw_http.h"
#include "tests/tools/site_process.h"
#include "tools/sample-site/announce_page.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/sample_topic.h"
#include "topic/topic_loader.h"

namespace tovalin::test {
namespace {

using namespace std::chrono_literals;

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    const size_t last = s.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? "" : s.substr(first, last - first + 1);
}

// A getter for the topic loader over one kept-alive raw connection, sending back the site's
// session cookie the way a browser would, and connecting anew only when the site hung up.
class KeepAliveGetter {
  public:
    explicit KeepAliveGetter(const SampleSiteProcess& site) : site_(site) {}

    std::string operator()(const std::string& address) {
        const std::string prefix = site_.Base();
        if (address.rfind(prefix, 0) != 0) {
            throw std::runtime_error("address outside the site: " + address);
        }
        if (!connection_ || connection_->PeerCloses(0ms)) {
            connection_ = std::make_unique<RawHttpConnection>(site_.Port());
            ++connections;
        }
        const std::string cookie = session_.empty() ? "" : "Cookie: " + session_ + "\r\n";
        RawHttpResponse response = connection_->Get(address.substr(prefix.size()), cookie);
        ++requests;
        const std::string set = response.Header("Set-Cookie");
        if (!set.empty()) {
            session_ = set.substr(0, set.find(';'));
        }
        if (response.status != 200) {
            throw std::runtime_error("status " + std::to_string(response.status));
        }
        return response.body;
    }

    int connections = 0;
    int requests = 0;

  private:
    const SampleSiteProcess& site_;
    std::unique_ptr<RawHttpConnection> connection_;
    std::string session_;
};

struct LoadResult {
    std::string starterName;
    std::string starterUrl;
    std::string firstPost;
    std::vector<std::string> posts;
    std::vector<std::string> pages;
};

LoadResult LoadWithRealLoader(KeepAliveGetter& getter, const std::string& address) {
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [address] { return address; };
    TTopicLoader loader([&getter](const std::string& a) { return getter(a); }, hooks);
    loader.Execute();
    LoadResult result{loader.OwnStarterName(),
                      loader.OwnStarterUrl(),
                      loader.FirstPost,
                      {},
                      loader.PagesFetched()};
    for (const std::string& post : loader.WorkerPosts->Snapshot()) {
        result.posts.push_back(Trimmed(post));
    }
    return result;
}

void ExpectStarterPostsOnly(const LoadResult& got, const SampleTopic& topic) {
    EXPECT_EQ(got.starterName, SampleTopic::StarterName());
    EXPECT_EQ(got.starterUrl, topic.StarterProfile());
    EXPECT_EQ(got.firstPost, topic.OpeningPost());
    const std::vector<std::string> expected = topic.StarterReplies();
    ASSERT_EQ(got.posts.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(got.posts[i], expected[i]) << "starter reply " << i + 1;
    }
    ASSERT_EQ(got.pages.size(), static_cast<size_t>(topic.Pages()));
    for (int p = 0; p < topic.Pages(); ++p) {
        EXPECT_EQ(got.pages[static_cast<size_t>(p)], topic.PageAddress(p));
    }
}

// --- what a reader finds -------------------------------------------------------------------

struct ServingCase {
    const char* name;
    std::vector<std::string> args;
    int connections;  // how many the whole load should need
    int requests;
};

class SampleTopicReading : public ::testing::TestWithParam<ServingCase> {};

TEST_P(SampleTopicReading, RealLoaderCollectsExactlyTheStartersPostsFromEveryPage) {
    const ServingCase& c = GetParam();
    SampleSiteProcess site(c.args);
    KeepAliveGetter getter(site);
    const SampleTopic topic(TopicShape{kSampleTopicId, 12, 20, ""}, site.Base());

    const LoadResult got = LoadWithRealLoader(getter, topic.PageAddress(0));

    ExpectStarterPostsOnly(got, topic);
    EXPECT_GT(got.posts.size(), 40u);
    EXPECT_EQ(getter.connections, c.connections);
    EXPECT_EQ(getter.requests, c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    ServingModes, SampleTopicReading,
    ::testing::Values(ServingCase{"KeptAlive", {}, 1, 12},
                      ServingCase{"Chunked", {"--chunked"}, 1, 12},
                      // The 503s keep the connection; the loader repeats at once.
                      ServingCase{"FailFirstThree", {"--fail-first", "3"}, 1, 15},
                      ServingCase{"CookieRequired", {"--require-cookie"}, 1, 12},
                      ServingCase{"ClosingEarly", {"--close-early"}, 12, 12}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's own HTTP client against the site in each mode: what the window's worker does.
TEST_P(SampleTopicReading, ProgramsOwnClientReadsTheSameTopic) {
    SampleSiteProcess site(GetParam().args);
    const SampleTopic topic(TopicShape{kSampleTopicId, 12, 20, ""}, site.Base());
    TNetHTTP http;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&] { return topic.PageAddress(0); };
    TTopicLoader loader([&http](const std::string& a) { return http.Get(a); }, hooks);
    loader.Execute();

    LoadResult got{loader.OwnStarterName(),
                   loader.OwnStarterUrl(),
                   loader.FirstPost,
                   {},
                   loader.PagesFetched()};
    for (const std::string& post : loader.WorkerPosts->Snapshot()) {
        got.posts.push_back(Trimmed(post));
    }
    ExpectStarterPostsOnly(got, topic);
}

// The reader's client, as the window and the export set it up, given a plain address that
// redirects to the site served over https with a private authority.
TEST(SampleSiteTls, ReaderClientFollowsARedirectToHttpsAndReadsTheWholeTopic) {
    TestCA ca;
    const TestCertificate cert = ca.Issue("site", {{"localhost"}, {"127.0.0.1"}});
    SampleSiteProcess site({"--tls-cert", cert.certFile, "--tls-key", cert.keyFile});
    ASSERT_EQ(0u, site.Base().rfind("https://", 0));
    LoopbackServer redirector([&site](ServerConnection& c) {
        for (std::string head; !(head = c.ReadRequestHead()).empty();) {
            c.Send(HttpResponseWithLength(301, {{"Location", site.Url(RequestTarget(head))}}, ""));
        }
    });
    const SampleTopic topic(TopicShape{kSampleTopicId, 12, 20, ""}, site.Base());
    const std::string start = redirector.Url(topic.PageAddress(0).substr(site.Base().size()));

    TrustOnly trust(ca.CertFile());
    TNetHTTP http;
    ConfigureForReading(http);
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&] { return start; };
    TTopicLoader loader([&http](const std::string& a) { return http.Get(a); }, hooks);
    loader.Execute();
    LoadResult got{loader.OwnStarterName(),
                   loader.OwnStarterUrl(),
                   loader.FirstPost,
                   {},
                   loader.PagesFetched()};
    for (const std::string& post : loader.WorkerPosts->Snapshot()) {
        got.posts.push_back(Trimmed(post));
    }
    ASSERT_FALSE(got.pages.empty());
    EXPECT_EQ(start, got.pages[0]);
    got.pages[0] = topic.PageAddress(0);  // the later pages are the site's own https links
    ExpectStarterPostsOnly(got, topic);
    EXPECT_EQ(1, http.IOHandler->Handshakes()) << "one TLS connection for the whole topic";
}

TEST(SampleSite, BigTopicTakesItsShapeFromTheOptions) {
    SampleSiteProcess site({"--pages", "9", "--replies-per-page", "13"});
    KeepAliveGetter getter(site);
    const SampleTopic topic(TopicShape{kBigTopicId, 9, 13, ""}, site.Base());

    ExpectStarterPostsOnly(LoadWithRealLoader(getter, topic.PageAddress(0)), topic);

    RawHttpConnection raw(site.Port());
    EXPECT_EQ(raw.Get("/group/topic/2001/?start=104").status, 200);  // the ninth page
    EXPECT_EQ(raw.Get("/group/topic/2001/?start=117").status, 404);  // past the end
    EXPECT_EQ(raw.Get("/group/topic/2001/?start=5").status, 404);    // not a page start
    EXPECT_EQ(raw.Get("/group/topic/2001/?start=-13").status, 404);
    EXPECT_EQ(raw.Get("/group/topic/2001/?start=x").status, 404);
}

TEST(SampleSite, AnnouncementPageReadsAsThirteenRecordsWithANewerVersion) {
    SampleSiteProcess site;
    RawHttpConnection raw(site.Port());
    const RawHttpResponse page = raw.Get("/blog/post/announce.html");
    ASSERT_EQ(page.status, 200);

    const Announcements read = ReadAnnouncements(page.body);
    ASSERT_EQ(read.items.size(), 26u);
    EXPECT_EQ(read.latestVersion, "1.1");
    EXPECT_EQ(read.items[25], site.Url("/update/"));
    const std::vector<AnnouncementRecord> records = AnnouncementRecords(site.Base());
    for (size_t k = 0; k < 13; ++k) {
        EXPECT_EQ(read.items[2 * k], records[k].title);
        EXPECT_EQ(read.items[2 * k + 1], records[k].address);
    }
    // The second page announces the running version, which offers no update.
    const Announcements current =
        ReadAnnouncements(raw.Get("/blog/post/announce-current.html").body);
    EXPECT_EQ(current.items.size(), 26u);
    EXPECT_EQ(current.latestVersion, "1.0");
    EXPECT_EQ(current.items[0], read.items[0]);

    // Every address the records hand to the shell is served by the site itself.
    for (size_t k = 0; k < 13; ++k) {
        const std::string path = records[k].address.substr(site.Base().size());
        EXPECT_EQ(raw.Get(path).status, 200) << path;
    }
}

TEST(SampleSite, ServesItsImagesAndPeoplePages) {
    SampleSiteProcess site;
    RawHttpConnection raw(site.Port());
    const RawHttpResponse lake = raw.Get("/img/lake.svg");
    EXPECT_EQ(lake.status, 200);
    EXPECT_EQ(lake.Header("Content-Type"), "image/svg+xml");
    EXPECT_NE(lake.body.find("<svg"), std::string::npos);
    EXPECT_EQ(raw.Get("/people/qingxi/").status, 200);
    const RawHttpResponse person = raw.Get("/people/<b>x&y</b>/");
    EXPECT_NE(person.body.find("&lt;b&gt;x&amp;y&lt;/b&gt;"), std::string::npos) << person.body;
    EXPECT_EQ(person.body.find("<b>"), std::string::npos);
    EXPECT_EQ(raw.Get("/nothing/here").status, 404);
}

// --- the wire ------------------------------------------------------------------------------

TEST(SampleSiteWire, KeepsOneConnectionForSeveralRequestsIncludingPipelinedOnes) {
    SampleSiteProcess site;
    RawHttpConnection raw(site.Port());
    const RawHttpResponse first = raw.Get("/group/topic/1001/");
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(std::stoul(first.Header("Content-Length")), first.body.size());
    EXPECT_TRUE(first.Header("Connection").empty());

    // Two requests in one write are answered in order on the same connection.
    raw.Send(RawHttpConnection::GetRequest("/group/topic/1001/?start=20", site.Port()) +
             RawHttpConnection::GetRequest("/people/qingxi/", site.Port()));
    EXPECT_NE(raw.ReadResponse().body.find("?start=40\"/>"), std::string::npos);
    EXPECT_NE(raw.ReadResponse().body.find("qingxi"), std::string::npos);

    raw.Send("HEAD /group/topic/1001/ HTTP/1.1\r\nHost: x\r\n\r\n");
    const RawHttpResponse head = raw.ReadResponse(true);
    EXPECT_EQ(head.Header("Content-Length"), first.Header("Content-Length"));
    EXPECT_EQ(raw.Get("/").status, 200);
    EXPECT_FALSE(raw.PeerCloses(200ms));
}

TEST(SampleSiteWire, ClosesWhenTheClientAsksOrTheRequestIsBad) {
    SampleSiteProcess site;
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"client says close",
         RawHttpConnection::GetRequest("/", site.Port(), "Connection: close\r\n"), 200},
        {"HTTP/1.0 without keep-alive", "GET / HTTP/1.0\r\n\r\n", 200},
        {"no version", "GET /\r\n\r\n", 400},
        {"header without colon", "GET / HTTP/1.1\r\nHost 1\r\n\r\n", 400},
        {"huge head", "GET / HTTP/1.1\r\nX: " + std::string(70 * 1024, 'a'), 431},
        {"huge body", "GET / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n", 413},
    };
    for (const Case& c : cases) {
        RawHttpConnection raw(site.Port());
        raw.Send(c.request);
        const RawHttpResponse response = raw.ReadResponse();
        EXPECT_EQ(response.status, c.status) << c.name;
        EXPECT_EQ(response.Header("Connection"), "close") << c.name;
        EXPECT_TRUE(raw.PeerCloses(2s)) << c.name;
    }
    // The site goes on serving after all of them.
    RawHttpConnection raw(site.Port());
    EXPECT_EQ(raw.Get("/").status, 200);
}

TEST(SampleSiteWire, SetsTheSessionCookieOnTheFirstPageAndCanRequireIt) {
    SampleSiteProcess site({"--require-cookie"});
    RawHttpConnection raw(site.Port());
    const RawHttpResponse first = raw.Get("/group/topic/1001/");
    const std::string set = first.Header("Set-Cookie");
    ASSERT_EQ(set.rfind(std::string(kSessionCookie) + "=", 0), 0u) << set;
    EXPECT_NE(set.find("; path=/"), std::string::npos);
    const std::string cookie = "Cookie: " + set.substr(0, set.find(';')) + "\r\n";

    EXPECT_EQ(raw.Get("/group/topic/1001/?start=20").status, 403);
    EXPECT_EQ(raw.Get("/group/topic/1001/?start=20", "Cookie: tvsid=0000000000000000\r\n").status,
              403);
    EXPECT_EQ(raw.Get("/group/topic/1001/?start=20", "Cookie: a=b; " + cookie.substr(8)).status,
              200);
    // A known session is not given a new cookie.
    EXPECT_TRUE(raw.Get("/group/topic/1001/", cookie).Header("Set-Cookie").empty());
}

TEST(SampleSiteWire, FailsTheFirstRequestsWith503AndKeepsTheConnection) {
    SampleSiteProcess site({"--fail-first", "2"});
    RawHttpConnection raw(site.Port());
    for (int i = 0; i < 2; ++i) {
        const RawHttpResponse failed = raw.Get("/group/topic/1001/");
        EXPECT_EQ(failed.status, 503);
        EXPECT_FALSE(failed.body.empty());
        EXPECT_TRUE(failed.Header("Connection").empty());
    }
    EXPECT_EQ(raw.Get("/group/topic/1001/").status, 200);
}

TEST(SampleSiteWire, ChunkedBodiesCarryExactlyThePage) {
    SampleSiteProcess site({"--chunked"});
    RawHttpConnection raw(site.Port());
    const RawHttpResponse page = raw.Get("/group/topic/1001/?start=40");
    EXPECT_TRUE(page.chunked);
    EXPECT_TRUE(page.Header("Content-Length").empty());
    const SampleTopic topic(TopicShape{kSampleTopicId, 12, 20, ""}, site.Base());
    EXPECT_EQ(page.body, topic.PageHtml(2));
    EXPECT_GT(page.body.size(), 3 * 4096u);  // several chunks
    EXPECT_EQ(raw.Get("/").status, 200);     // and the connection goes on
}

TEST(SampleSiteWire, CloseEarlyHangsUpAfterEachResponseWithoutSayingSo) {
    SampleSiteProcess site({"--close-early"});
    RawHttpConnection raw(site.Port());
    const RawHttpResponse page = raw.Get("/group/topic/1001/");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.Header("Connection").empty());
    EXPECT_TRUE(raw.PeerCloses(2s));
}

TEST(SampleSiteWire, DelaysOnlyTheLaterPagesOfATopic) {
    SampleSiteProcess site({"--delay-ms", "400"});
    RawHttpConnection raw(site.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(raw.Get("/group/topic/1001/").status, 200);
    const auto first = std::chrono::steady_clock::now();
    EXPECT_EQ(raw.Get("/group/topic/1001/?start=20").status, 200);
    const auto second = std::chrono::steady_clock::now();
    // Only the lower bound is certain on a busy machine; the first page just must not wait.
    EXPECT_GE(second - first, 400ms);
    EXPECT_LT(first - start, 400ms);
}

TEST(SampleSiteProcessTest, EndsByItselfAfterTheIdleTime) {
    SampleSiteProcess site({"--idle-exit", "1"});
    {
        RawHttpConnection raw(site.Port());
        EXPECT_EQ(raw.Get("/").status, 200);
    }
    EXPECT_EQ(site.WaitForExit(5s), 0);
}

TEST(SampleSiteProcessTest, RefusesBadOptions) {
    for (const char* bad : {"--port=1", "--pages", "--fail-first -1", "--idle-exit 0",
                            "--tls-cert /dev/null", "--tls-key"}) {
        const std::string command = SampleSiteProcess::Binary() + " " + bad + " >/dev/null 2>&1";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2) << bad;
    }
    // Files that hold no certificate: the site says so and does not start.
    const std::string command = SampleSiteProcess::Binary() +
                                " --idle-exit 1 --tls-cert /dev/null --tls-key /dev/null 2>&1";
    FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[256] = "";
    const bool read = std::fgets(line, sizeof line, out) != nullptr;
    EXPECT_EQ(WEXITSTATUS(::pclose(out)), 1);
    EXPECT_TRUE(read);
    EXPECT_NE(std::string(line).find("cannot use the certificate in /dev/null"), std::string::npos)
        << line;
}

}  // namespace
}  // namespace tovalin::test
