// Hostile page markup: what one page can make a load keep.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>

#include "topic/topic_loader.h"

namespace {

// Each reply's fragment runs from the reply to the next "<div class=\"operation_div\"". A page
// that repeats the reply key many times before a single such marker makes every fragment run to
// that one marker: n keys on a page of size s give fragments of about n * s / 2 bytes in all (a
// 1 MiB page of "</a></div>" keys would give some 50 GB). The load must keep every fragment as
// cut, yet hold no more than a small multiple of the page.
TEST(HostilePage, RepeatedReplyKeysBeforeOneMarkerKeepMemoryBounded) {
    std::string page =
        "来自: <a href=\"http://h/people/n/\">N</a><div class=\"topic-content\">opening"
        "<div class=\"sns-bar\">";
    constexpr int kReplies = 20000;
    for (int i = 0; i < kReplies; ++i) {
        page += "N</a></div>x";
    }
    page += "<div class=\"operation_div\"></div>";

    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [] { return std::string("http://h/group/topic/1/"); };
    TTopicLoader loader([&page](const std::string&) { return page; }, std::move(hooks));
    loader.Execute();

    ASSERT_EQ(kReplies, loader.WorkerPosts->Count());
    // Fragments are exactly as cut: the first runs over every later key, the last is "x".
    EXPECT_EQ("x", loader.WorkerPosts->At(kReplies - 1));
    EXPECT_EQ(
        page.size() - page.find("x") - std::string("<div class=\"operation_div\"></div>").size(),
        loader.WorkerPosts->At(0).size());
    EXPECT_LE(loader.WorkerPosts->BytesHeld(), 2 * page.size());
}

}  // namespace
