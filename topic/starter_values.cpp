#include "topic/starter_values.h"

#include <mutex>

namespace {
std::mutex& StarterMutex() {
    static std::mutex mutex;
    return mutex;
}
TStarterValues& StarterStore() {
    static TStarterValues values;
    return values;
}
}  // namespace

std::string StarterName() {
    std::lock_guard lock(StarterMutex());
    return StarterStore().Name;
}

std::string StarterUrl() {
    std::lock_guard lock(StarterMutex());
    return StarterStore().Url;
}

TStarterValues Starter() {
    std::lock_guard lock(StarterMutex());
    return StarterStore();
}

void SetStarter(std::string url, std::string name) {
    std::lock_guard lock(StarterMutex());
    StarterStore().Url = std::move(url);
    StarterStore().Name = std::move(name);
}
