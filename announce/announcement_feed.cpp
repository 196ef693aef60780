#include "announce/announcement_feed.h"

#include <memory>

#include "announce/announcement_list.h"
#include "announce/shared_values.h"

void RunAnnouncementFeed(const TPageGetter& get, const std::string& address,
                         const ShowFirstAnnouncementStep& showFirstAnnouncement) {
    // Every failure of a try is swallowed: the page is not worth an error.
    const std::optional<std::string> body =
        FetchWithRetries(get, [&address] { return address; }).Body;
    if (!body) {
        NetworkFailed = 1;
        return;
    }
    auto announcements = std::make_shared<const Announcements>(ReadAnnouncements(*body));
    // Published before the first title is shown: a tick in between finds the whole list and
    // puts item 0 up itself, which the step then repeats.
    PublishAnnouncements(announcements);
    if (!announcements->items.empty()) {
        showFirstAnnouncement(announcements->items.front());
    }
}
