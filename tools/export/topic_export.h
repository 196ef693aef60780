#pragma once
// Reads a whole topic without a window and writes the starter's posts as HTML, Markdown or JSON.
// The load is the window's own loader; only the hooks differ: the address is the one given, and
// nothing is shown while it runs.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "topic/topic_loader.h"

struct TTopicExport {
    std::string Title;  // the first page's <title>, as text
    std::string StarterUrl;
    std::string StarterName;  // as the page shows it, markup kept
    std::string FirstPost;
    std::shared_ptr<TPostList> PostList;  // keeps the posts' text alive
    std::vector<std::string_view> Posts;  // views into PostList, in order
    std::vector<std::string> Pages;       // addresses fetched, in order
    std::vector<TPageProblem> PagesGivenUp;
    std::vector<std::string> PagesMalformed;
    // The first page was fetched and is a topic page: well-formed UTF-8 carrying the starter's
    // link and the opening post's marker, with a starter's name.
    bool IsTopic = false;
    std::uint64_t BytesFetched = 0;
};

enum class TExportFormat { Html, Markdown, Json };

std::optional<TExportFormat> ParseExportFormat(std::string_view name);

// Told after every page: pages fetched so far, posts found so far, body bytes fetched so far.
using TExportProgress =
    std::function<void(std::size_t pages, std::size_t posts, std::uint64_t bytes)>;

// Gathers what one load has given so far. The load runs on one thread; a snapshot may be taken
// from another at any moment, so a signal or a stalled site can end the export with the pages
// read until then.
class TExportRecorder {
  public:
    explicit TExportRecorder(std::string address, TExportProgress progress = {});

    // The getter the load uses: the given one, watched. A read that timed out is not made
    // again for the same address: a site that stalled for a whole timeout is taken as stalled,
    // so a stall costs one timeout rather than one per repeat. After Stop, every request fails
    // at once.
    TPageGetter Watch(TPageGetter get);
    TTopicLoaderHooks Hooks();
    // Runs a load on the calling thread with the getter and the hooks above.
    void Run(TPageGetter get);
    void Stop();

    TTopicExport Snapshot() const;
    // The list the load has published so far (null before its first publish).
    std::shared_ptr<TPostList> Posts() const;

  private:
    std::string address_;
    TExportProgress progress_;
    std::atomic<bool> stopping_{false};
    const TTopicLoader* loader_ = nullptr;  // set while Run runs, used on the load's thread only

    mutable std::mutex mutex_;
    TTopicExport topic_;
    bool firstBodySeen_ = false;
    bool starterSeen_ = false;
    bool pageLooksLikeTopic_ = false;
    std::set<std::string> stalled_;
};

// Runs a whole load on the calling thread.
TTopicExport ExportTopic(const std::string& address, TPageGetter get,
                         const TExportProgress& progress = {});

// Posts converted for the output (HTML or Markdown) ahead of writing, while the load still runs,
// so the parsing hides behind the network. Bounded: past kMaxBytes the rest is converted when
// written.
class TPreparedPosts {
  public:
    static constexpr std::size_t kMaxBytes = 64u << 20;

    explicit TPreparedPosts(TExportFormat format) : format_(format) {}
    // Converts up to `most` posts of `posts` that are not converted yet; false when there was
    // nothing to do (all converted, the bound reached, or JSON, which needs no conversion).
    bool CatchUp(const std::shared_ptr<TPostList>& posts, std::size_t most);
    const std::vector<std::string>& Posts() const { return converted_; }

  private:
    TExportFormat format_;
    std::vector<std::string> converted_;
    std::size_t bytes_ = 0;
};

// Writes the topic in the format, piece by piece, so a large topic is never held twice. Posts
// already in `prepared` (the first ones, in order) are written from there.
void WriteExport(const TTopicExport& topic, TExportFormat format,
                 const std::function<void(std::string_view)>& write,
                 const TPreparedPosts* prepared = nullptr);

// The whole output as one text (for small topics and tests).
std::string FormatExport(const TTopicExport& topic, TExportFormat format);

// Appends a JSON string literal, quotes included. Valid UTF-8 passes unchanged; a byte that is
// not part of a well-formed sequence becomes U+FFFD, so the output is valid whatever the input.
void AppendJsonString(std::string& out, std::string_view text);
std::string JsonString(std::string_view text);
