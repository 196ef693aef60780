#pragma once
// What the sample site answers to each request: the topics, the people pages, the images, the
// announcement page and the pages its records link to, plus the faults the options ask for.
// Safe to call from several connection threads at once.

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_set>

#include "tools/sample-site/http_exchange.h"
#include "tools/sample-site/sample_topic.h"
#include "tools/sample-site/site_options.h"

// Topic ids the site knows.
constexpr int kSampleTopicId = 1001;
constexpr int kBigTopicId = 2001;
// Name of the cookie the first page of a topic sets.
constexpr const char* kSessionCookie = "tvsid";

class SampleSite {
  public:
    // `base` is "http://127.0.0.1:PORT", without a trailing slash.
    SampleSite(const SiteOptions& options, std::string base);

    SiteResponse Respond(const SiteRequest& request);

    const SampleTopic& SampleTopicPages() const { return sample_; }
    const SampleTopic& BigTopicPages() const { return big_; }

  private:
    SiteResponse TopicPage(const SampleTopic& topic, const SiteRequest& request);
    std::string IssueSession();
    bool KnownSession(const SiteRequest& request);

    SiteOptions options_;
    std::string base_;
    SampleTopic sample_;
    SampleTopic big_;
    std::atomic<int> failuresLeft_;
    std::mutex sessionsLock_;
    std::unordered_set<std::string> sessions_;
    unsigned long long sessionCounter_ = 0;
};
