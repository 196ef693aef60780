// The window reads the list while the worker appends to it.
#include "topic/post_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

TEST(PostList, ReadsWhileAppendingSeeEveryPostInOrder) {
    constexpr int kPosts = 20000;
    TPostList list;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kPosts; ++i) {
            list.Add("post " + std::to_string(i));
        }
        done = true;
    });
    int mismatches = 0;
    int lastCount = 0;
    while (!done || lastCount < kPosts) {
        const int count = list.Count();
        ASSERT_GE(count, lastCount);  // the list only grows
        if (count > 0) {
            // The newest and a middle element are whole and in place.
            mismatches += list.At(count - 1) != "post " + std::to_string(count - 1);
            mismatches += list.At(count / 2) != "post " + std::to_string(count / 2);
        }
        lastCount = count;
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(list.Count(), kPosts);
    EXPECT_THROW(list.At(kPosts), std::out_of_range);
    EXPECT_THROW(list.At(-1), std::out_of_range);
}

}  // namespace
