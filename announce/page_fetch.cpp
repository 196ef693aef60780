#include "announce/page_fetch.h"

std::optional<std::string> FetchWithRetries(const PageGetter& get, const std::string& address) {
    for (int attempt = 0; attempt <= kAnnouncementRetries; ++attempt) {
        try {
            return get(address);
        } catch (...) {
            // A failed try only counts; whatever went wrong is not shown to anyone.
        }
    }
    return std::nullopt;
}
