#include "announce/announcement_list.h"

#include <mutex>
#include <utility>

namespace {

struct Store {
    std::mutex lock;
    std::shared_ptr<const Announcements> current;
};

// Never destroyed: a worker still fetching when the process ends may publish during exit.
Store& TheStore() {
    static Store* store = new Store;
    return *store;
}

}  // namespace

std::shared_ptr<const Announcements> PublishedAnnouncements() {
    Store& store = TheStore();
    std::lock_guard<std::mutex> hold(store.lock);
    return store.current;
}

void PublishAnnouncements(std::shared_ptr<const Announcements> announcements) {
    Store& store = TheStore();
    std::shared_ptr<const Announcements> previous;
    {
        std::lock_guard<std::mutex> hold(store.lock);
        previous = std::exchange(store.current, std::move(announcements));
    }
    // `previous` is released outside the lock.
}
