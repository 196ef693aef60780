// A whole topic load over a sequence of pages: the first page, the replies on every page, the
// next-page links (to pages that exist, to unknown addresses, back to earlier pages) and the
// repeats of failed requests. The load must end, fetch no page more often than the repeats
// allow, and publish a list whose posts come from the pages.
//
// Input: pages separated by "\n====\n". The first page answers the address "start"; every
// later page begins with its address on a line of its own. Unknown addresses fail.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "topic/topic_loader.h"

namespace {

constexpr std::string_view kSeparator = "\n====\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::map<std::string, std::string, std::less<>> site;
    for (bool first = true;; first = false) {
        const std::size_t end = rest.find(kSeparator);
        std::string_view page = rest.substr(0, end);
        if (first) {
            site.emplace("start", page);
        } else {
            const std::size_t line = page.find('\n');
            site.emplace(std::string(page.substr(0, line)), line == std::string_view::npos
                                                                ? std::string_view{}
                                                                : page.substr(line + 1));
        }
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + kSeparator.size());
    }

    std::size_t requests = 0;
    std::size_t published = 0;
    auto get = [&](const std::string& address) {
        ++requests;
        auto it = site.find(address);
        if (it == site.end())
            throw std::runtime_error("404");
        return it->second;
    };
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("start"); };
    hooks.ShowStarterPost = [](const std::string&) {};
    hooks.PublishPosts = [&](const std::shared_ptr<TPostList>&) { ++published; };
    TTopicLoader loader(get, hooks);
    loader.Execute();

    // Every distinct address is asked for once, plus the repeats of a failing one.
    const std::size_t bound =
        (site.size() + loader.PagesFetched().size() + 1) * (TTopicLoader::kMaxRepeats + 1);
    if (requests > bound || published < 2 || published > loader.PagesFetched().size() + 3)
        std::abort();
    if (loader.PagesFetched().size() > site.size())
        std::abort();
    // No post is longer than a page, and what the pages give stays within four times their size
    // (each address answers once, so the fetched pages hold at most the input).
    std::size_t written = 0;
    for (const std::string_view post : loader.WorkerPosts->Views()) {
        if (post.size() > size)
            std::abort();
        written += post.size();
    }
    if (written > 4 * size)
        std::abort();
    // Only pages that were fetched can be cut short.
    for (const std::string& address : loader.PagesMalformed()) {
        if (std::find(loader.PagesFetched().begin(), loader.PagesFetched().end(), address) ==
            loader.PagesFetched().end())
            std::abort();
    }
    return 0;
}
