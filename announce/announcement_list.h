#pragma once
// The announcement items and the newest version, handed from the feed worker to the main thread.
//
// The worker builds the whole list and the version first and publishes them in one step, so a
// reader sees either nothing or the finished list together with its version, never a list being
// filled. A reader keeps its snapshot alive for as long as it holds it.

#include <memory>

#include "announce/announcement_page.h"

// The published announcements, or nullptr until a fetch has succeeded.
std::shared_ptr<const Announcements> PublishedAnnouncements();

// Replaces what readers get from now on (nullptr: no list, as before the first fetch).
void PublishAnnouncements(std::shared_ptr<const Announcements> announcements);
