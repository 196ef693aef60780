// The feed run: the repeats, the failure flag, the handover and the first title, with a getter
// that stands in for the HTTP client.
#include "announce/announcement_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "announce/announcement_list.h"
#include "announce/shared_values.h"

namespace {

std::string Page(int records) {
    std::string page = "<html>";
    for (int k = 1; k <= records; ++k) {
        const std::string title = k == 13 ? "1.1" : "t" + std::to_string(k);
        page += "<P>velkorntitle:" + title + "</P><P>velkornurl:u" + std::to_string(k) + "</P>";
    }
    return page + "</html>";
}

class AnnouncementFeed : public ::testing::Test {
  protected:
    void SetUp() override {
        NetworkFailed = 0;
        PublishAnnouncements(nullptr);
    }
    void TearDown() override { PublishAnnouncements(nullptr); }

    // Fails `failures` times, then answers with `page`; records every address asked for.
    TPageGetter FailingThen(int failures, std::string page) {
        return [this, failures, page](const std::string& address) {
            addresses.push_back(address);
            if (static_cast<int>(addresses.size()) <= failures) {
                throw std::runtime_error("connection refused");
            }
            return page;
        };
    }
    ShowFirstAnnouncementStep Recorder() {
        return [this](const std::string& first) { shown.push_back(first); };
    }

    std::vector<std::string> addresses;
    std::vector<std::string> shown;
};

TEST_F(AnnouncementFeed, AnswerOnTheEleventhTryIsReadNormally) {
    RunAnnouncementFeed(FailingThen(10, Page(13)), "http://page/", Recorder());
    EXPECT_EQ(addresses, std::vector<std::string>(11, "http://page/"));
    EXPECT_EQ(NetworkFailed.load(), 0);
    const auto published = PublishedAnnouncements();
    ASSERT_NE(published, nullptr);
    EXPECT_EQ(published->items.size(), 26u);
    EXPECT_EQ(published->latestVersion, "1.1");
    EXPECT_EQ(shown, std::vector<std::string>{"t1"});
}

TEST_F(AnnouncementFeed, ElevenFailuresSetTheFlagAndPublishNothing) {
    RunAnnouncementFeed(FailingThen(11, Page(13)), "http://page/", Recorder());
    EXPECT_EQ(addresses.size(), 11u);
    EXPECT_EQ(NetworkFailed.load(), 1);
    EXPECT_EQ(PublishedAnnouncements(), nullptr);
    EXPECT_TRUE(shown.empty());
}

TEST_F(AnnouncementFeed, FirstTryAnsweredMeansOneRequest) {
    RunAnnouncementFeed(FailingThen(0, Page(2)), "http://page/", Recorder());
    EXPECT_EQ(addresses.size(), 1u);
    ASSERT_NE(PublishedAnnouncements(), nullptr);
    EXPECT_EQ(PublishedAnnouncements()->items.size(), 4u);
    EXPECT_EQ(PublishedAnnouncements()->latestVersion, "");
    EXPECT_EQ(shown, std::vector<std::string>{"t1"});
}

TEST_F(AnnouncementFeed, PageWithoutRecordsPublishesAnEmptyListAndShowsNothing) {
    RunAnnouncementFeed(FailingThen(0, "<html>nothing here</html>"), "http://page/", Recorder());
    ASSERT_NE(PublishedAnnouncements(), nullptr);
    EXPECT_TRUE(PublishedAnnouncements()->items.empty());
    EXPECT_EQ(NetworkFailed.load(), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(AnnouncementFeed, TheFirstTitleStepSeesTheListPublished) {
    std::shared_ptr<const Announcements> seen;
    RunAnnouncementFeed(FailingThen(0, Page(13)), "http://page/",
                        [&](const std::string&) { seen = PublishedAnnouncements(); });
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->latestVersion, "1.1");
}

TEST_F(AnnouncementFeed, AReaderOnAnotherThreadSeesNothingOrTheWholeList) {
    // The main thread's timer polls while the worker publishes: every snapshot it gets is
    // complete, with the version already in it.
    std::atomic<bool> done{false};
    std::atomic<int> partial{0};
    std::thread reader([&] {
        while (!done.load()) {
            if (const auto snapshot = PublishedAnnouncements()) {
                if (snapshot->items.size() != 30 || snapshot->latestVersion != "1.1") {
                    ++partial;
                }
            }
        }
    });
    for (int run = 0; run < 200; ++run) {
        RunAnnouncementFeed(FailingThen(0, Page(15)), "http://page/", Recorder());
        addresses.clear();
    }
    done = true;
    reader.join();
    EXPECT_EQ(partial.load(), 0);
}

}  // namespace
