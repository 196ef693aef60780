// Hostile page markup: what one page can make a load keep.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "topic/topic_loader.h"

namespace {

// Each reply's fragment runs from the reply to the next "<div class=\"operation_div\"". A page
// that repeats the reply key many times before a single such marker makes every fragment run to
// that one marker: n keys on a page of size s give fragments of about n * s / 2 bytes in all (a
// 1 MiB page of "</a></div>" keys would give some 50 GB to write out). The load keeps the
// fragments as cut while they total at most four times the page, drops the rest, names the page
// as malformed, and holds no more than a small multiple of the page.
TEST(HostilePage, RepeatedReplyKeysBeforeOneMarkerAreCutShortAndNamed) {
    std::string page =
        "来自: <a href=\"http://h/people/n/\">N</a><div class=\"topic-content\">opening"
        "<div class=\"sns-bar\">";
    constexpr int kReplies = 20000;
    for (int i = 0; i < kReplies; ++i) {
        page += "N</a></div>x";
    }
    page += "<div class=\"operation_div\"></div>";

    std::vector<std::string> malformed;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("http://h/group/topic/1/"); };
    hooks.PageMalformed = [&](const std::string& address) { malformed.push_back(address); };
    TTopicLoader loader([&page](const std::string&) { return page; }, std::move(hooks));
    loader.Execute();

    // Fragments are exactly as cut: the k-th runs from the k-th "x" over every later key, so each
    // is one key shorter than the one before.
    const std::size_t fragment0 =
        page.size() - page.find("x") - std::string("<div class=\"operation_div\"></div>").size();
    constexpr std::size_t kKey = std::string_view("N</a></div>x").size();
    std::size_t fit = 0;
    for (std::size_t total = 0;; ++fit) {
        const std::size_t next = fragment0 - fit * kKey;
        if (total + next > 4 * page.size()) {
            break;
        }
        total += next;
    }
    ASSERT_EQ(static_cast<int>(fit), loader.WorkerPosts->Count());
    std::size_t written = 0;
    for (int k = 0; k < loader.WorkerPosts->Count(); ++k) {
        EXPECT_EQ(fragment0 - static_cast<std::size_t>(k) * kKey, loader.WorkerPosts->At(k).size())
            << k;
        written += loader.WorkerPosts->At(k).size();
    }
    EXPECT_LE(written, 4 * page.size());
    EXPECT_EQ(malformed, (std::vector<std::string>{"http://h/group/topic/1/"}));
    EXPECT_EQ(loader.PagesMalformed(), malformed);
    EXPECT_LE(loader.WorkerPosts->BytesHeld(), 2 * page.size());
}

}  // namespace
