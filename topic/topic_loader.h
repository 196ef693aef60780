#pragma once
// One topic load, without threads or windows: fetch the first page, cut out the starter and the
// opening post, show it, collect the starter's replies page by page and publish the growing list
// after every page. The window's worker thread and the export tool both run this.
//
// The hooks stand for the steps that touch the window; the window's worker runs each of them on
// the main thread and waits. Errors raised by ShowStarterPost and PublishPosts are ignored, but
// for ELoadStopped from any hook or from the getter: that ends the load at once.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "topic/post_list.h"
#include "worker/page_fetch.h"

struct TTopicLoaderHooks {
    // The address box's current text, read again at every first-page attempt.
    std::function<std::string()> ReadAddress;
    std::function<void(const std::string& firstPost)> ShowStarterPost;
    std::function<void(const std::shared_ptr<TPostList>& posts)> PublishPosts;
    // Takes the starter's address and name cut from the first page (optional); without it the
    // load writes the process-wide starter values itself.
    std::function<void(const std::string& url, const std::string& name)> StarterFound;
    // Told after every page that was fetched (optional).
    std::function<void(const std::string& address)> PageFetched;
    // Told when a page could not be fetched after every repeat (optional); the reason is the last
    // failure's error class and message, "ENetSocketError: Socket Error # 10061 ...".
    std::function<void(const std::string& address, const std::string& reason)> PageGaveUp;
    // Told when a page gave more than its share of fragments and the rest were dropped (optional).
    std::function<void(const std::string& address)> PageMalformed;
    // Told once when the load has run to its end (optional); a stopped load is not told.
    std::function<void()> LoadEnded;
};

// A page that did not come whole into the load, and why.
struct TPageProblem {
    std::string Address;
    std::string Reason;
};

class TTopicLoader {
  public:
    // A failed request is repeated at once; after the first attempt and this many repeats the
    // page counts as empty, as the announcement feed gives up after the same number.
    static constexpr int kMaxRepeats = ::kMaxRepeats;
    // A site that keeps handing out new next-page addresses must not grow a load without end:
    // no real topic comes near this many pages (a million replies at a hundred a page).
    static constexpr std::size_t kMaxPages = 10000;

    TTopicLoader(TPageGetter get, TTopicLoaderHooks hooks);

    // Runs the whole load on the calling thread.
    void Execute();

    std::shared_ptr<TPostList> WorkerPosts;
    std::string FirstPost;

    // The addresses whose pages were fetched, in order.
    const std::vector<std::string>& PagesFetched() const { return pagesFetched_; }
    // The pages that gave up after every repeat, in order, with the last failure of each.
    const std::vector<TPageProblem>& PagesGivenUp() const { return pagesGivenUp_; }
    // The pages whose fragments were cut short because they gave more than a page can.
    const std::vector<std::string>& PagesMalformed() const { return pagesMalformed_; }
    // The starter's address and name as this load cut them from its first page.
    const std::string& OwnStarterUrl() const { return starterUrl_; }
    const std::string& OwnStarterName() const { return starterName_; }

  private:
    // Fetches and decodes one page, repeating failed requests; the empty text when it gives up.
    std::string FetchPage(const std::function<std::string()>& address);
    void Publish();

    TPageGetter get_;
    TTopicLoaderHooks hooks_;
    std::vector<std::string> pagesFetched_;
    std::vector<TPageProblem> pagesGivenUp_;
    std::vector<std::string> pagesMalformed_;
    // Every address this load asked for: a next link back to one of them ends the topic.
    std::unordered_set<std::string> requested_;
    std::string starterUrl_;
    std::string starterName_;
};
