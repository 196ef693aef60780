#pragma once
// One run of the announcement feed: fetch the page (with repeats), read its records, hand them
// to the ticker and show the first title. Plain C++; the worker thread supplies the getter (its
// own HTTP client) and the step that reaches the window.

#include <functional>
#include <string>

#include "worker/page_fetch.h"

// Runs on the main thread while the feed waits: shows the caption and `firstTitle` (item 0).
using ShowFirstAnnouncementStep = std::function<void(const std::string& firstTitle)>;

// When every try fails: NetworkFailed becomes 1 and nothing is published. Otherwise the records
// are published (an empty list too) and, when there is at least one, `showFirstAnnouncement`
// runs. Exceptions of `showFirstAnnouncement` pass through.
void RunAnnouncementFeed(const TPageGetter& get, const std::string& address,
                         const ShowFirstAnnouncementStep& showFirstAnnouncement);
